#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "run/files.h"

namespace mirtak {

namespace {

int open_file(const char* name, int flags) {
  int fd = -1;
  do {
    fd = ::open(name, flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool LogFile::open(const char* name) {
  close();
  fd_ = open_file(name, O_RDONLY);
  if (fd_ < 0) return false;
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
    close();
    return false;
  }
  return true;
}

std::ptrdiff_t LogFile::read(unsigned char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, size);
    if (got >= 0 || errno != EINTR) return got < 0 ? -1 : got;
  }
}

void LogFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool ValueFile::create(const char* name, const LogFile& log) {
  close();
  // Opened without truncation first, so that a name leading to the log can still be refused
  // with the log intact.
  fd_ = open_file(name, O_WRONLY | O_CREAT);
  if (fd_ < 0) return false;
  struct stat value_info {};
  struct stat log_info {};
  const bool known = ::fstat(fd_, &value_info) == 0 && ::fstat(log.fd_, &log_info) == 0;
  if (!known || same_file(value_info, log_info) ||
      (S_ISREG(value_info.st_mode) && ::ftruncate(fd_, 0) != 0)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool ValueFile::write(const unsigned char* data, std::size_t size) {
  while (size != 0) {
    const ssize_t put = ::write(fd_, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool ValueFile::close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  // After close() fails the descriptor is gone either way; EINTR is not a lost write.
  return ::close(fd) == 0 || errno == EINTR;
}

}  // namespace mirtak
