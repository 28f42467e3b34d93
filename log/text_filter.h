// The log is read as raw bytes on every platform; these are the only two changes made to them
// before lines are looked at, so that a log reads the same everywhere:
//   - every carriage return (0x0D) is dropped, wherever it stands;
//   - the first Ctrl-Z (0x1A) ends the input: it and everything after it are never delivered.
// Every other byte (newline, NUL, 0x80..0xFF) passes as it is.
#pragma once

#include <cstddef>

#include "log/byte_rules.h"

namespace mirtak {

class TextFilter {
 public:
  // Applies the rules to the next block of the log, in place: the text it delivers is moved to
  // the start of the block and its length returned. After a Ctrl-Z nothing more is delivered.
  std::size_t apply(unsigned char* block, std::size_t size);

  // True once a Ctrl-Z has been met: the log holds no more text.
  bool ended() const { return ended_; }

 private:
  bool ended_ = false;
};

}  // namespace mirtak
