// Re-runs and swapped names over logs as instruments write them (tests/log_corpus.h): a value
// file converted again over itself is never refused, and the log named as the value file of
// its own value file always is. Prints the counts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "run/existing_file.h"
#include "tests/log_corpus.h"

namespace mirtak {
namespace {

using test::CorpusLog;

// Under an emulator (qemu), where every instruction is interpreted, one log in kStride is taken.
#ifdef MIRTAK_CORPUS_STRIDE
constexpr int kStride = MIRTAK_CORPUS_STRIDE;
#else
constexpr int kStride = 1;
#endif

// Judges both ways round: the value file as the existing file of a run over the log (a
// re-run), and the log as the existing file of a run over the value file (the names swapped).
class Judge {
 public:
  void operator()(const CorpusLog& c, const std::string& what) {
    rerun_refused_ += verdict(c.values, c.log) == Verdict::kRefuse ? 1 : 0;
    if (verdict(c.values, c.log) != Verdict::kOverwrite) ADD_FAILURE() << what << ": re-run";
    if (verdict(c.log, c.values) != Verdict::kRefuse) {
      ADD_FAILURE() << what << ": swapped";
      ++swap_converted_;
    }
    ++logs_;
  }

  void report(const char* corpus) {
    std::printf("%s: %d logs; re-runs refused %d; swaps not refused %d\n", corpus, logs_,
                rerun_refused_, swap_converted_);
  }

 private:
  Verdict verdict(const std::string& held, const std::string& log) {
    MemoryBytes contents(reinterpret_cast<const unsigned char*>(held.data()), held.size());
    const std::size_t start = std::min(log.size(), kLogStartSize);
    return existing_.judge(&contents, held.size(),
                           {reinterpret_cast<const unsigned char*>(log.data()), start});
  }

  ExistingFile existing_;
  int logs_ = 0;
  int rerun_refused_ = 0;
  int swap_converted_ = 0;
};

TEST(ReRunCorpus, EveryConstantChannel) {
  Judge judge;
  for (const std::size_t lines : {1u, 2u, 3u, 10u, 64u}) {
    for (int v = -32768; v <= 32767; v += kStride)
      judge(test::constant_log(static_cast<std::int16_t>(v), lines),
            "constant " + std::to_string(v) + ", " + std::to_string(lines) + " lines");
  }
  judge.report("constant channels (65,536 values natively) at 1, 2, 3, 10 and 64 lines");
}

// Past the first 4 KiB of the value file: one constant in 17, to keep the test quick.
TEST(ReRunCorpus, ConstantChannelsPast4KiB) {
  Judge judge;
  for (int v = -32768; v <= 32767; v += 17 * kStride)
    judge(test::constant_log(static_cast<std::int16_t>(v), 2100),
          "constant " + std::to_string(v) + ", 2100 lines");
  judge.report("constant channels, every 17th value, at 2100 lines");
}

TEST(ReRunCorpus, Loggers) {
  Judge judge;
  int kind = 0;
  for (const auto& sensors : test::logger_kinds()) {
    ++kind;
    for (const bool usual : {false, true}) {
      for (int i = 0; i < 300; i += kStride) {
        test::Random random(static_cast<std::uint64_t>(kind * 100000 + i));
        const std::size_t lines = 500 + random.below(2500);
        judge(
            test::logger_log(sensors, i / 299.0, usual, lines, random.next()),
            "logger " + std::to_string(kind) + (usual ? " usual " : " whole ") + std::to_string(i));
      }
    }
  }
  judge.report("loggers, 7 kinds, 300 across the whole range and 300 across the usual");
}

TEST(ReRunCorpus, RampsAndRandomValues) {
  Judge ramps;
  for (int start = -32768; start < 32768; start += 64 * kStride) {
    for (const int step : {1, 7, 256, -3})
      ramps(test::ramp_log(start, step, 1000, 1 + (start + 32768) / 64 % 4),
            "ramp from " + std::to_string(start) + " by " + std::to_string(step));
  }
  ramps.report("ramps, 1,024 starts by 1, 7, 256 and -3");
  Judge random;
  for (int i = 0; i < 2000; i += kStride) {
    test::Random shape(static_cast<std::uint64_t>(i));
    random(test::random_log(1 + shape.below(2000), 1 + static_cast<int>(shape.below(20)),
                            shape.next()),
           "random " + std::to_string(i));
  }
  random.report("random values, 1 to 2,000 lines of 1 to 20 columns");
}

}  // namespace
}  // namespace mirtak
