// Both files go through the C runtime's low-level descriptors, always in binary mode: the
// runtime's text mode would drop carriage returns and stop at Ctrl-Z on its own terms, and the
// log's text rules are the tool's, the same on every platform.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <climits>
#include <cstdint>

#include "run/files.h"

namespace mirtak {

namespace {

constexpr unsigned int kMaxTransfer = INT_MAX;

int open_file(const char* name, int flags) {
  return ::_open(name, flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

HANDLE handle_of(int fd) {
  // The runtime hands out the system's handle as an integer; this is its only way back.
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));  // NOLINT(performance-no-int-to-ptr)
}

// Which file a handle leads to, whatever name opened it: the volume and the file's index on
// it, as the system keeps them. Names cannot tell: case, slashes, short names, links.
struct FileIdentity {
  bool disk = false;   // a file on a disk, not a device or a pipe
  bool known = false;  // a disk file whose identity the system gave
  bool directory = false;
  DWORD volume = 0;
  std::uint64_t index = 0;
};

FileIdentity identity_of(int fd) {
  FileIdentity id;
  BY_HANDLE_FILE_INFORMATION info{};
  const HANDLE handle = handle_of(fd);
  id.disk = handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_DISK;
  if (!id.disk || ::GetFileInformationByHandle(handle, &info) == 0) return id;
  id.known = true;
  id.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return id;
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

bool truncate_to_empty(int fd) {
  const HANDLE handle = handle_of(fd);
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) != 0 && ::SetEndOfFile(handle) != 0;
}

}  // namespace

bool LogFile::open(const char* name) {
  close();
  fd_ = open_file(name, _O_RDONLY);
  if (fd_ < 0) return false;
  if (identity_of(fd_).directory) {
    close();
    return false;
  }
  return true;
}

std::ptrdiff_t LogFile::read(unsigned char* buffer, std::size_t size) {
  const int got =
      ::_read(fd_, buffer, static_cast<unsigned int>(size < kMaxTransfer ? size : kMaxTransfer));
  return got < 0 ? -1 : got;
}

void LogFile::close() {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
}

bool ValueFile::create(const char* name, const LogFile& log) {
  close();
  // Opened without truncation first, so that a name leading to the log can still be refused
  // with the log intact.
  fd_ = open_file(name, _O_WRONLY | _O_CREAT);
  if (fd_ < 0) return false;
  const FileIdentity value_id = identity_of(fd_);
  // Only a file on a disk has contents to lose and an identity to compare: a device (NUL, a
  // pipe) is neither the log nor emptied.
  if ((value_id.disk && !value_id.known) || same_file(value_id, identity_of(log.fd_)) ||
      (value_id.disk && !truncate_to_empty(fd_))) {
    ::_close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool ValueFile::write(const unsigned char* data, std::size_t size) {
  while (size != 0) {
    const int put =
        ::_write(fd_, data, static_cast<unsigned int>(size < kMaxTransfer ? size : kMaxTransfer));
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
  return ::_close(fd) == 0;
}

}  // namespace mirtak
