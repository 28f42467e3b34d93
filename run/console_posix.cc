#include <unistd.h>

#include <cerrno>

#include "run/console.h"

namespace mirtak {

void Console::write_out(std::size_t size) {
  const char* data = buffer_;
  while (size != 0) {
    const ssize_t put = ::write(STDOUT_FILENO, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;  // errors are deliberately ignored: see the header
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

}  // namespace mirtak
