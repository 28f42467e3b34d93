#include "run/existing_file.h"

#include <algorithm>
#include <cstring>

#include "run/text_rule.h"

namespace mirtak {

static_assert(Probe::kSize >= kTextProbeSize, "the first read decides whether the file is text");

bool may_overwrite(int fd, LogStart log, Probe& probe) {
  std::ptrdiff_t got = read_at(fd, probe.bytes, Probe::kSize, 0);
  if (got < 0) return false;
  if (is_text(probe.bytes, static_cast<std::size_t>(got))) return false;
  // The file is the log when it holds the log's first block, or ends inside it with every byte
  // it holds equal: a view of the log can show it shorter than it is (a FUSE mount that keeps
  // an older size while a writer appends to the log). Only a copy of the log is refused.
  for (std::size_t at = 0; at < log.size;) {
    const auto held = static_cast<std::size_t>(got);
    const std::size_t want = std::min(Probe::kSize, log.size - at);
    if (std::memcmp(probe.bytes, log.data + at, std::min(held, want)) != 0) return true;
    if (held < want) return at + held == 0;  // the file ends here; empty is no copy
    at += want;
    if (at == log.size) return false;
    got = read_at(fd, probe.bytes, std::min(Probe::kSize, log.size - at), at);
    if (got < 0) return false;
  }
  return true;
}

}  // namespace mirtak
