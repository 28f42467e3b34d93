#include <unistd.h>

#include <cerrno>

#include "run/console.h"

namespace mirtak {

void Console::write_out(std::size_t size) {
  const int fd = kind_.stream == ConsoleKind::Stream::kError ? STDERR_FILENO : STDOUT_FILENO;
  const char* data = buffer_;
  while (size != 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {  // the tool goes on regardless: see the header
      failed_ = true;
      return;
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

}  // namespace mirtak
