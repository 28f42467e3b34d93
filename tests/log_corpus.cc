#include "tests/log_corpus.h"

#include <algorithm>

#include "tests/support.h"

namespace mirtak::test {

namespace {

// Builds a log line by line, with the value file beside it.
class LogBuilder {
 public:
  explicit LogBuilder(const std::string& header) : log_(header + "\r\n") {}

  void line(const std::string& first, const std::vector<int>& values) {
    log_ += first;
    for (const int v : values) {
      log_ += "  ";
      log_ += std::to_string(v);
      values_.push_back(static_cast<std::int16_t>(v));
    }
    log_ += "\r\n";
  }

  CorpusLog done() { return {log_ + "+\r\n", items_of(values_)}; }

 private:
  std::string log_;
  std::vector<std::int16_t> values_;
};

int wrap16(long long v) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

}  // namespace

CorpusLog constant_log(std::int16_t value, std::size_t lines) {
  LogBuilder log("CONSTANT CHANNEL");
  for (std::size_t i = 1; i <= lines; ++i)
    log.line(std::to_string(i), {value});
  return log.done();
}

std::vector<std::vector<Sensor>> logger_kinds() {
  return {{kTemperature},
          {kPressure},
          {kHumidity},
          {kBattery},
          {kTemperature, kHumidity},
          {kTemperature, kPressure, kBattery},
          {kTemperature, kPressure, kHumidity, kBattery}};
}

CorpusLog logger_log(const std::vector<Sensor>& sensors, double start, bool usual,
                     std::size_t lines, std::uint64_t seed) {
  std::string header = "DATE TIME";
  std::vector<int> now;
  for (const Sensor& s : sensors) {
    header += std::string("  ") + s.name;
    const int from = usual ? s.usual_low : s.low;
    const int to = usual ? s.usual_high : s.high;
    now.push_back(from + static_cast<int>(start * (to - from)));
  }
  LogBuilder log(header);
  Random random(seed);
  for (std::size_t i = 0; i < lines; ++i) {
    const std::size_t seconds = i * 10;
    log.line(
        "2024-03-0" + std::to_string(1 + seconds / 86400) + "_" + std::to_string(seconds % 86400),
        now);
    for (std::size_t c = 0; c < sensors.size(); ++c) {
      const Sensor& s = sensors[c];
      int next =
          now[c] + static_cast<int>(random.below(2 * static_cast<unsigned>(s.step) + 1)) - s.step;
      if (next < s.low) next = 2 * s.low - next;
      if (next > s.high) next = 2 * s.high - next;
      now[c] = next;
    }
  }
  return log.done();
}

CorpusLog ramp_log(int start, int step, std::size_t lines, int columns) {
  LogBuilder log("RAMP");
  long long v = start;
  std::vector<int> line(static_cast<std::size_t>(columns));
  for (std::size_t i = 1; i <= lines; ++i) {
    for (int& x : line) {
      x = wrap16(v);
      v += step;
    }
    log.line(std::to_string(i), line);
  }
  return log.done();
}

CorpusLog random_log(std::size_t lines, int columns, std::uint64_t seed) {
  LogBuilder log("RANDOM");
  Random random(seed);
  std::vector<int> line(static_cast<std::size_t>(columns));
  for (std::size_t i = 1; i <= lines; ++i) {
    std::generate(line.begin(), line.end(),
                  [&random] { return wrap16(static_cast<long long>(random.next() >> 48)); });
    log.line(std::to_string(i), line);
  }
  return log.done();
}

}  // namespace mirtak::test
