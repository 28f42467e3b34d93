// What judging an existing value file costs, in memory, without the disk's or the process's
// noise: over the log's own old value file (a re-run), over a file that reads as one endless
// header line (read as far as the judgement ever reads), and over the log itself named as the
// value file of its value file (the names swapped, which is refused).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench/log_maker.h"
#include "log/decoder.h"
#include "output/value_writer.h"
#include "run/existing_file.h"

namespace mirtak::bench {
namespace {

class StringSink final : public ByteSink {
 public:
  bool write(const unsigned char* data, std::size_t size) override {
    bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
  }
  std::string bytes;
};

std::string values_of(const std::string& log) {
  std::string block = log;  // the decoder rewrites what it is given
  StringSink sink;
  ValueWriter writer(sink);
  Decoder decoder(writer);
  decoder.feed(reinterpret_cast<unsigned char*>(block.data()), block.size());
  decoder.finish();
  writer.flush();
  return sink.bytes;
}

const unsigned char* data_of(const std::string& bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}

enum class Held { kOwnValues, kEndlessHeader, kTheLogItself };

void judge(benchmark::State& state, Held held) {
  const std::string log = make_log(std::size_t{4} << 20, LogShape{});
  const std::string values = values_of(log);
  const std::string& log_side = held == Held::kTheLogItself ? values : log;
  std::string file = held == Held::kOwnValues      ? values
                     : held == Held::kTheLogItself ? log
                                                   : std::string(values.size(), '\x01');
  const LogStart start{data_of(log_side), std::min(log_side.size(), kLogStartSize)};
  static ExistingFile existing;  // fixed storage, as in a run
  Verdict verdict = Verdict::kEmpty;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's idiom
    MemoryBytes contents(data_of(file), file.size());
    verdict = existing.judge(&contents, file.size(), start);
    benchmark::DoNotOptimize(verdict);
  }
  const Verdict expected = held == Held::kTheLogItself ? Verdict::kRefuse : Verdict::kOverwrite;
  if (verdict != expected) state.SkipWithError("not the verdict expected");
}

BENCHMARK_CAPTURE(judge, rerun_over_own_values, Held::kOwnValues);
BENCHMARK_CAPTURE(judge, over_an_endless_header, Held::kEndlessHeader);
BENCHMARK_CAPTURE(judge, swapped_names_refused, Held::kTheLogItself);

}  // namespace
}  // namespace mirtak::bench

BENCHMARK_MAIN();
