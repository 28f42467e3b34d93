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
  // The log's whole first block must be there, byte for byte, for the file to be the log.
  for (std::size_t at = 0; at < log.size;) {
    const std::size_t want = std::min(Probe::kSize, log.size - at);
    if (static_cast<std::size_t>(got) < want ||
        std::memcmp(probe.bytes, log.data + at, want) != 0) {
      return true;
    }
    at += want;
    if (at == log.size) return false;
    got = read_at(fd, probe.bytes, std::min(Probe::kSize, log.size - at), at);
    if (got < 0) return false;
  }
  return true;
}

}  // namespace mirtak
