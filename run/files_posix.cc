#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool ValueFile::create(const char* name, const LogFile& log, LogStart log_start) {
  close();
  struct stat log_info {};
  if (::fstat(log.descriptor(), &log_info) != 0) return false;
  // Looked at first: a name that leads to the log is refused without the log being opened for
  // writing at all, which file watchers would see and which would give a FIFO a writer.
  struct stat named {};
  const bool exists = ::stat(name, &named) == 0;
  if (exists && may_be_log(named, log_info)) return false;
  // Opened without truncation, to be read as well where the file holds data: its first bytes
  // are compared through this descriptor, and it is emptied through the same one, so no file
  // put in its place meanwhile escapes the checks. Anything else is opened to write only, as
  // cat would: a FIFO opened to read as well would never see its reader go.
  const bool may_read = !exists || holds_data(named);
  if (may_read) fd_ = open_file(name, O_RDWR | O_CREAT);
  const bool readable = fd_ >= 0;
  if (!may_read || (fd_ < 0 && errno == EACCES)) fd_ = open_file(name, O_WRONLY | O_CREAT);
  if (fd_ < 0) return false;
  struct stat value_info {};
  bool refused = ::fstat(fd_, &value_info) != 0 || may_be_log(value_info, log_info);
  if (!refused && holds_data(value_info)) {
    refused = !lock_for_writing(fd_) || (readable && !may_overwrite(fd_, log_start, probe_)) ||
              (S_ISREG(value_info.st_mode) && value_info.st_size > 0 && ::ftruncate(fd_, 0) != 0);
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
