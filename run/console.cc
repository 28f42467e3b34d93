#include "run/console.h"

namespace mirtak {

void Console::print(std::string_view text, std::string_view name, std::string_view more) {
  std::size_t used = 0;
  for (const std::string_view piece : {text, name, more}) {
    for (const char c : piece) {
      if (used + 2 > kBufferSize) {  // no room for a carriage return and its newline
        write_out(used);
        used = 0;
      }
      if (c == '\n') buffer_[used++] = '\r';
      buffer_[used++] = c;
    }
  }
  if (used != 0) write_out(used);
}

}  // namespace mirtak
