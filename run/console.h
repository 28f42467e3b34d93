// Standard output as the tool's console. Every newline goes out as a carriage return and a
// newline, on every platform and whether or not the output is a terminal. Each message goes out
// at once, in one write to the system, so that runs sharing one standard output (a batch of
// them started side by side) never cut into each other's messages. The console never decides a
// run's outcome: if standard output is closed, full or a pipe nobody reads, what is printed is
// lost and the run goes on.
//
// The companion command (run/shape_run.h) prints a report instead, which other programs read:
// to standard output or standard error, with the system's own line ends, and (JSON) in UTF-8 on
// every system; it asks the console afterwards whether all of it went out.
#pragma once

#include <cstddef>
#include <string_view>

#include "run/file_name.h"

namespace mirtak {

// How a console writes: the tool's own console is the first of each.
struct ConsoleKind {
  enum class Stream : unsigned char { kOutput, kError };
  Stream stream = Stream::kOutput;
  bool crlf = true;   // false: the system's own line ends (a newline alone on POSIX systems)
  bool utf8 = false;  // Windows: UTF-8 whatever the code page (as JSON is)
};

// Nothing else to set up: the buffer is filled before it is written out, each time.
// cppcheck-suppress uninitMemberVar
class Console {
 public:
  // cppcheck-suppress uninitMemberVar ; the buffer is filled before it is written out
  explicit Console(ConsoleKind kind = {}) noexcept : kind_(kind) {}

  // Prints text, then a file name, then more text, as one message. The tool's own texts are
  // ASCII; the name is printed as the system gave it (on Windows, see run/console_windows.h).
  void print(std::string_view text, NameView name = {}, std::string_view more = {});

  // Room for a message about any name either system can open (a path of up to 4,096 bytes on
  // Linux, 32,767 characters on Windows), even if every character of it were a newline, which
  // the console doubles. A longer message, about a name no file can have, goes out in
  // consecutive writes of a buffer load each, cut between characters, so only such a message
  // can have another program's output come between its parts; its bytes are the same.
  static constexpr std::size_t kBufferSize = std::size_t{2} * 32768 + 256;

  // Whether something printed could not be written out (for a report; the tool never asks).
  bool failed() const { return failed_; }

 private:
  // Hands the first `size` characters of the buffer to the stream (one file per system).
  void write_out(std::size_t size);

  ConsoleKind kind_;
  bool failed_ = false;
  NameChar buffer_[kBufferSize];
#ifdef _WIN32
  char bytes_[3 * kBufferSize];  // the buffer encoded: at most three bytes a character
#endif
};

}  // namespace mirtak
