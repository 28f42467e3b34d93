// Whether an existing file may be overwritten with values, judged by what it holds. Names and
// metadata cannot always tell that two names are one file (mounts, FUSE views, caches, case rules
// and devices all answer differently), but the bytes can, exactly, in the two ways a log is lost:
//   - the file is the log itself, whatever path led to it: it holds the log's first block, or a
//     part of it from its start and nothing else (a view can show the log shorter than it is);
//   - the file is the log the run's log was converted from (`MIRTAK X.MX X.LOG`, the names
//     swapped): read as a log, it yields what the run is about to read.
// Both are refused, and so is any existing data when the log reads as nothing (see judge()). A
// value file of any log, the run's own included, is neither: it is overwritten, as any converter
// overwrites the file it is told to write. A refusal loses nothing: the user can remove the file
// and run again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "run/yield_check.h"

namespace mirtak {

// How much of the log is read before the value file is opened, and judged against: the log's
// first block.
inline constexpr std::size_t kLogStartSize = std::size_t{256} * 1024;

// The first block of the log, as the conversion has read it: the whole log when it is shorter.
struct LogStart {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
};

// Reads up to size bytes of the open file at offset, leaving its position alone where the
// system can; fewer only at its end. The count read, or -1 on a read error. One per system.
std::ptrdiff_t read_at(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset);

// An open file, read through its descriptor.
class DescriptorBytes final : public ByteSource {
 public:
  explicit DescriptorBytes(int fd) : fd_(fd) {}
  std::ptrdiff_t read_at(unsigned char* buffer, std::size_t size, std::uint64_t offset) override {
    return mirtak::read_at(fd_, buffer, size, offset);
  }

 private:
  int fd_;
};

enum class Verdict : unsigned char {
  kEmpty,      // holds nothing: written as it is
  kOverwrite,  // emptied, then written
  kRefuse,     // kept as it is, and the run refused
};

// Room for judging one existing file, and the judgement.
class ExistingFile {
 public:
  // How far into a file, read as a log, its first value must lie for the file to be recognised
  // as the log the run's log was converted from: past a header line of a quarter of a million
  // characters. A file that yields no value by then (an old value file
  // can read as one endless header line) is not read further, so a run over it costs at most
  // this much reading and converting: about 1 % of a run over a 100 MB log.
  static constexpr std::uint64_t kSwapReach = std::uint64_t{256} * 1024;
  // The most of the file compared with the log's start at a time.
  static constexpr std::size_t kProbeSize = std::size_t{16} * 1024;

  // cppcheck-suppress uninitMemberVar ; the probe holds only what a read fills
  ExistingFile() = default;
  ExistingFile(const ExistingFile&) = delete;
  ExistingFile& operator=(const ExistingFile&) = delete;

  // What is done with an existing file of `size` bytes as the system reports it (0 where it
  // does not, a block device), read through `contents` (none if it cannot be read: it is then
  // judged by its size alone). The file holds data when either says so. Refused: a file that is
  // the log or the log's source as above; a file that holds data when the log's first block is
  // empty (a view of the log can show it empty while the log holds data, and an empty log would
  // write nothing anyway); a file that cannot be read to the end of its judgement.
  Verdict judge(ByteSource* contents, std::uint64_t size, LogStart log);

 private:
  // How much of the log's start the file holds, when it holds nothing else up to there: all of
  // the log's start, or all of the file when it ends first. 0 if a byte differs, -1 on a read
  // error. The probe holds the file's first `got` bytes, of `asked`.
  std::ptrdiff_t log_start_held(ByteSource& contents, LogStart log, std::size_t got,
                                std::size_t asked);

  YieldCheck yields_;
  unsigned char probe_[kProbeSize];  // not cleared: only what a read fills is looked at
};

}  // namespace mirtak
