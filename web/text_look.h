// Whether a file's bytes look like the text of a log, for the page to say when a file chosen by
// mistake (a picture, a sound) is no log. A log is text: the one rule is here, in one place. Text
// holds no control byte (below 0x20, and 0x7F) but the tab, the line ends (newline and carriage
// return), the vertical tab and form feed that numbers may be set apart by, and the Ctrl-Z that
// ends the input (nothing after it is the log's). Bytes 0x80 to 0xFF are text in some code page.
// Only the start of a file is looked at: a log's first bytes tell what kind of file it is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirtak {

constexpr bool control_byte_of_no_text(unsigned char byte) {
  if (byte == 0x7F) return true;
  if (byte >= 0x20) return false;
  return byte != '\t' && byte != '\n' && byte != '\v' && byte != '\f' && byte != '\r' &&
         byte != 0x1A;
}

class TextLook {
 public:
  // How much of the start of a file is looked at.
  static constexpr std::uint64_t kLookedAt = std::uint64_t{1024} * 1024;

  // The next `size` bytes of the file, as read.
  void look(const unsigned char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size && !done() && !ended_; ++i, ++seen_) {
      if (bytes[i] == 0x1A) {
        ended_ = true;
      } else if (control_byte_of_no_text(bytes[i])) {
        found_ = true;
        byte_ = bytes[i];
        at_ = seen_;
      }
    }
  }

  // The first control byte that no text holds, if one was found: where it is (from 0) and what.
  bool found() const { return found_; }
  std::uint64_t at() const { return at_; }
  unsigned char byte() const { return byte_; }

 private:
  bool done() const { return found_ || seen_ >= kLookedAt; }

  std::uint64_t seen_ = 0;
  bool ended_ = false;  // a Ctrl-Z was met: the input has ended
  bool found_ = false;
  std::uint64_t at_ = 0;
  unsigned char byte_ = 0;
};

}  // namespace mirtak
