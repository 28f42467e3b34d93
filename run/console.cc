#include "run/console.h"

#include <cstdio>

namespace mirtak {

void Console::print(std::string_view text) {
  // Newlines double at most, so a chunk of half the buffer always fits.
  char out[512];
  while (!text.empty()) {
    const std::string_view chunk = text.substr(0, sizeof out / 2);
    text.remove_prefix(chunk.size());
    std::size_t used = 0;
    for (const char c : chunk) {
      if (c == '\n') out[used++] = '\r';
      out[used++] = c;
    }
    // Errors are deliberately ignored: see the header.
    (void)std::fwrite(out, 1, used, stdout);
  }
  (void)std::fflush(stdout);
}

}  // namespace mirtak
