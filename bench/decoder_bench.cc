// The conversion core alone, on logs in memory: bytes of log per second for each kernel set, so
// that a change to the hot loop can be judged without disk or process noise. Blocks are copied into
// one buffer first, as reading the file would.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "bench/log_maker.h"
#include "log/decoder.h"
#include "output/value_writer.h"

namespace mirtak::bench {
namespace {

constexpr std::size_t kLogSize = std::size_t{16} << 20;
constexpr std::size_t kBlockSize = std::size_t{256} << 10;

class CountingSink final : public ByteSink {
 public:
  bool write(const unsigned char* /*data*/, std::size_t size) override {
    bytes += size;
    return true;
  }
  std::size_t bytes = 0;
};

void convert_log(benchmark::State& state, const KernelSet* kernel_set, LogShape shape) {
  if (!kernel_set->runs_here()) {
    state.SkipWithError("this processor cannot run the kernel set");
    return;
  }
  const std::string log = make_log(kLogSize, shape);
  const auto block = std::make_unique<unsigned char[]>(kBlockSize);
  std::size_t values = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's idiom
    CountingSink sink;
    ValueWriter writer(sink);
    Decoder decoder(writer, *kernel_set);
    for (std::size_t at = 0; at < log.size(); at += kBlockSize) {
      const std::size_t size = std::min(kBlockSize, log.size() - at);
      std::memcpy(block.get(), log.data() + at, size);
      if (!decoder.feed(block.get(), size)) break;
    }
    decoder.finish();
    writer.flush();
    values = sink.bytes / kItemSize;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(log.size()));
  state.counters["values"] = static_cast<double>(values);
}

void register_all() {
  const struct {
    const char* name;
    LogShape shape;
  } shapes[] = {{"10col_crlf", {10, true}}, {"10col_lf", {10, false}}, {"3col_crlf", {3, true}}};
  for (const auto& s : shapes) {
    for (const KernelSet& set : kKernelSets) {
      const std::string name = std::string(s.name) + "/" + set.name;
      benchmark::RegisterBenchmark(name.c_str(), convert_log, &set, s.shape)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace
}  // namespace mirtak::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  mirtak::bench::register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
