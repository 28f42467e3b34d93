// The two files of a run, as the operating system sees them: the log, read as raw bytes, and
// the value file, written as raw bytes. Nothing here interprets their contents.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/value_writer.h"
#include "run/existing_file.h"
#include "run/file_name.h"

namespace mirtak {

#ifdef _WIN32
// Room for a name in the form the system takes at any length: \\?\UNC\ and a full path of
// up to 32,767 characters.
struct LongName {
  wchar_t text[8 + 32767 + 1];
};
#endif

class LogFile {
 public:
  LogFile() = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile() { close(); }

  // Opens the named file for reading. Fails for a missing file, and for anything that cannot
  // be read as a file (a directory).
  bool open(const NameChar* name);

  // Reads up to size bytes: the count read, 0 at the end of the file, or -1 on a read error.
  std::ptrdiff_t read(unsigned char* buffer, std::size_t size);

  void close();

  // The open file's descriptor, for telling whether another name leads to it.
  int descriptor() const { return fd_; }

 private:
  int fd_ = -1;
#ifdef _WIN32
  LongName long_name_;
#endif
};

class ValueFile final : public ByteSink {
 public:
  ValueFile() = default;
  ValueFile(const ValueFile&) = delete;
  ValueFile& operator=(const ValueFile&) = delete;
  ~ValueFile() { close(); }

  // Creates the named file, or empties it if it exists, and keeps it as this run's own: a second
  // run that names it meanwhile is refused. Every decision about an existing file is taken from
  // the file as opened and locked, never from what its name led to before: refused, changing
  // nothing, when it is the log itself (same name, another spelling, a hard or symbolic link,
  // the log seen through a mount or a second device node) or when `existing` judges it so (see
  // run/existing_file.h). Only a file that holds data is looked at, locked and emptied: a
  // device, a FIFO or a socket is written to, whatever the log is. A new or empty file is not
  // emptied again.
  bool create(const NameChar* name, const LogFile& log, LogStart log_start, ExistingFile& existing);

  bool write(const unsigned char* data, std::size_t size) override;

  // Closes the file; false if the system reports a write error only now.
  bool close();

 private:
  int fd_ = -1;
#ifdef _WIN32
  LongName long_name_;
#endif
};

}  // namespace mirtak
