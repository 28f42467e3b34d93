#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

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

// Only a file that holds data can be lost: a regular file or a block device. A character
// device, a FIFO or a socket as the value file is written to, whatever the log is, as cat
// writes to one (MIRTAK /dev/null /dev/null converts).
bool holds_data(const struct stat& info) {
  return S_ISREG(info.st_mode) || S_ISBLK(info.st_mode);
}

// Whether two files as the system describes them are one. The same device and inode decide it,
// but a mount that shows a file of another file system (an overlay, a network or FUSE mount of
// a local folder) gives it another device number while keeping its inode number. So the same
// inode number, size and modification time, to the nanosecond, on two devices count as one
// file too: two different files that agree in all three are refused, and a refusal is never a
// loss. Two nodes of one block device (mknod makes as many as one likes) name the same disk.
// Views that show neither (FUSE file systems that number their files themselves) are caught by
// what the file holds.
bool same_file(const struct stat& a, const struct stat& b) {
  if (S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode) && a.st_rdev == b.st_rdev) return true;
  if (a.st_ino != b.st_ino) return false;
  if (a.st_dev == b.st_dev) return true;
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool may_be_log(const struct stat& value, const struct stat& log) {
  return holds_data(value) && same_file(value, log);
}

// Takes the file as this run's one writer, with a lock that only another run asks for: readers
// and other programs never notice it, and it goes with the descriptor. A file system that
// keeps no locks is written without one.
bool lock_for_writing(int fd) {
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    switch (errno) {
      case EINTR:
        continue;
      case ENOLCK:
      case EOPNOTSUPP:
      case ENOSYS:
      case EINVAL:
        return true;
      default:
        return false;  // another run writes it (EWOULDBLOCK)
    }
  }
}

// The path under which the system opens again the file a descriptor holds: /proc/self/fd/N.
struct DescriptorPath {
  char text[32];
};

DescriptorPath path_of(int fd) {
  DescriptorPath path{};
  constexpr char kPrefix[] = "/proc/self/fd/";
  char digits[12];
  std::size_t count = 0;
  for (auto n = static_cast<unsigned>(fd); count == 0 || n != 0; n /= 10)
    digits[count++] = static_cast<char>('0' + n % 10);
  std::size_t at = sizeof kPrefix - 1;
  std::copy(kPrefix, kPrefix + at, path.text);
  while (count != 0)
    path.text[at++] = digits[--count];
  return path;
}

// A look at a file: what the system says of it, and where it can, a descriptor that only names
// the file (O_PATH), to open it through.
struct Look {
  int fd = -1;
  struct stat info {};
};

// Looks at the file a name leads to without opening it to read or to write: through an O_PATH
// descriptor, or where the system has none, by name. False when there is no such file (errno
// ENOENT) or no look.
bool look_at(const char* name, Look& look) {
#ifdef O_PATH
  look.fd = open_file(name, O_PATH);
  if (look.fd < 0) return false;
  if (::fstat(look.fd, &look.info) == 0) return true;
  ::close(look.fd);
  look.fd = -1;
  return false;
#else
  return ::stat(name, &look.info) == 0;
#endif
}

// Opens the file looked at: through the look's descriptor, which leads to that file whatever
// its name leads to by now; where the system cannot (no /proc), by name, and then only if the
// name still leads to the same file.
int open_looked_at(const char* name, const Look& look, int flags) {
  int fd = -1;
  if (look.fd >= 0) fd = open_file(path_of(look.fd).text, flags);
  if (look.fd < 0 || (fd < 0 && errno == ENOENT)) fd = open_file(name, flags);
  struct stat info {};
  if (fd >= 0 && (::fstat(fd, &info) != 0 || info.st_dev != look.info.st_dev ||
                  info.st_ino != look.info.st_ino)) {
    ::close(fd);
    fd = -1;  // the name led to another file meanwhile: refused, which loses nothing
    errno = ESTALE;
  }
  return fd;
}

// Opens the value file to write, and to read as well where it holds data (readable tells).
// It is looked at first, neither read nor written: a name that leads to the log is refused
// before the log is ever opened for writing, which file watchers would see and which would
// give a FIFO a writer; and the kind of file decides the mode: a FIFO or a device is opened to
// write only, as cat would (a FIFO opened to read as well would never see its reader go). A
// file that does not exist is created: a file that appeared at the name meanwhile is still
// judged after the lock, and anything but a regular file there is refused.
int open_value_file(const char* name, const struct stat& log, bool& readable) {
  Look look;
  if (look_at(name, look)) {
    int fd = -1;
    if (!may_be_log(look.info, log)) {
      readable = holds_data(look.info);
      fd = open_looked_at(name, look, readable ? O_RDWR : O_WRONLY);
      // A file one may write but not read is written, judged by its size alone.
      if (fd < 0 && errno == EACCES && readable) {
        readable = false;
        fd = open_looked_at(name, look, O_WRONLY);
      }
    }
    if (look.fd >= 0) ::close(look.fd);
    return fd;
  }
  if (errno != ENOENT) return -1;
  readable = true;
  int fd = open_file(name, O_RDWR | O_CREAT);
  if (fd < 0 && errno == EACCES) {
    readable = false;
    fd = open_file(name, O_WRONLY | O_CREAT);
  }
  struct stat info {};
  if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    ::close(fd);
    fd = -1;
  }
  return fd;
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

bool ValueFile::create(const char* name, const LogFile& log, LogStart log_start,
                       ExistingFile& existing) {
  close();
  struct stat log_info {};
  if (::fstat(log.descriptor(), &log_info) != 0) return false;
  bool readable = false;
  fd_ = open_value_file(name, log_info, readable);
  if (fd_ < 0) return false;
  // What kind of file it is belongs to the file, not to its name: it cannot change.
  struct stat info {};
  bool refused = ::fstat(fd_, &info) != 0;
  if (!refused && holds_data(info)) {
    // Everything else is decided after the lock, from the file as it then is: another run may
    // have written it, or finished writing it, while this one opened it.
    refused = !lock_for_writing(fd_) || ::fstat(fd_, &info) != 0 || may_be_log(info, log_info);
    if (!refused) {
      DescriptorBytes contents(fd_);
      const auto size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
      const Verdict verdict = existing.judge(readable ? &contents : nullptr, size, log_start);
      refused = verdict == Verdict::kRefuse || (verdict == Verdict::kOverwrite &&
                                                S_ISREG(info.st_mode) && ::ftruncate(fd_, 0) != 0);
    }
  }
  if (refused) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

std::ptrdiff_t read_at(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t part = ::pread(fd, buffer + got, size - got, static_cast<off_t>(offset + got));
    if (part < 0 && errno == EINTR) continue;
    if (part < 0) return -1;
    if (part == 0) break;
    got += static_cast<std::size_t>(part);
  }
  return static_cast<std::ptrdiff_t>(got);
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
