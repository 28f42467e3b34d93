// Whether an existing file that holds data may be overwritten with values, judged by what it
// holds. Names and metadata cannot always tell that two names are one file (mounts, FUSE views,
// caches, case rules and devices all answer differently), but the bytes can: a file that opens
// with the log's own first block is the log, whatever path led to it, and a file that opens with
// text is a log or a document named by mistake. Both are refused; the user can remove the file
// and run again, so a refusal loses nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirtak {

// The first block of the log, as the conversion has read it: the whole log when it is shorter.
struct LogStart {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
};

// Room for looking at an existing file's first bytes.
struct Probe {
  static constexpr std::size_t kSize = std::size_t{16} * 1024;
  unsigned char bytes[kSize];
};

// Reads up to size bytes of the open file at offset, leaving its position alone where the
// system can; fewer only at its end. The count read, or -1 on a read error. One per system.
std::ptrdiff_t read_at(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset);

// Whether the open file fd, which holds data, may be overwritten: false when its first bytes are
// text, or are the log's first block or a part of it from its start (an empty log start matches
// nothing), or cannot be read.
bool may_overwrite(int fd, LogStart log, Probe& probe);

}  // namespace mirtak
