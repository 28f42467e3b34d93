// Logs as instruments write them, each with its value file worked out from the values the log
// was made of (not by converting it): constant channels, loggers of temperature, pressure,
// humidity and battery voltage as random walks across their ranges, ramps, random values. The
// same logs on every machine. Tests of re-runs and swapped names run over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace mirtak::test {

struct CorpusLog {
  std::string log;
  std::string values;  // the value file
};

// One channel holding `value` on each of `lines` data lines, each after a line number.
CorpusLog constant_log(std::int16_t value, std::size_t lines);

// A sensor as a logger records it: whole units of its resolution, within its range (and mostly
// within its usual part of it), changing by at most `step` from one reading to the next.
struct Sensor {
  const char* name;
  int low;
  int high;
  int usual_low;
  int usual_high;
  int step;
};

// -40.00 to 85.00 degC, in a room 18 to 30 degC
inline constexpr Sensor kTemperature{"T[0.01C]", -4000, 8500, 1800, 3000, 1};
// 300.0 to 1100.0 hPa, near sea level 950 to 1050 hPa
inline constexpr Sensor kPressure{"P[0.1hPa]", 3000, 11000, 9500, 10500, 1};
// 0.0 to 100.0 %, indoors 30 to 70 %
inline constexpr Sensor kHumidity{"RH[0.1%]", 0, 1000, 300, 700, 2};
// 1.8 to 4.2 V, a lithium cell in use 3.0 to 3.7 V
inline constexpr Sensor kBattery{"U[mV]", 1800, 4200, 3000, 3700, 1};

// The loggers of the corpus: each sensor alone and the usual combinations.
std::vector<std::vector<Sensor>> logger_kinds();

// A logger's log: a time stamp, then one column per sensor, each a random walk from the point
// `start` (0 to 1) of the way across its range, or across its usual part, reflected at the ends
// of its range.
CorpusLog logger_log(const std::vector<Sensor>& sensors, double start, bool usual,
                     std::size_t lines, std::uint64_t seed);

// `columns` values a line, the first `start`, each later one `step` on (wrapping at 16 bits).
CorpusLog ramp_log(int start, int step, std::size_t lines, int columns);

// Values of all 16 bits, `columns` a line.
CorpusLog random_log(std::size_t lines, int columns, std::uint64_t seed);

// The same random numbers on every machine: the standard fixes mt19937_64's every output.
class Random {
 public:
  // NOLINTNEXTLINE(cert-msc32-c,cert-msc51-cpp): the same logs each run
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  std::uint64_t next() { return engine_(); }
  // A number from 0 to n - 1.
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

 private:
  std::mt19937_64 engine_;
};

}  // namespace mirtak::test
