// Both files go through the C runtime's low-level descriptors, always in binary mode: the
// runtime's text mode would drop carriage returns and stop at Ctrl-Z on its own terms, and the
// log's text rules are the tool's, the same on every platform. Names are UTF-16 throughout.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "run/files.h"

namespace mirtak {

namespace {

constexpr unsigned int kMaxTransfer = INT_MAX;

HANDLE handle_of(int fd) {
  // The runtime hands out the system's handle as an integer; this is its only way back.
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));  // NOLINT(performance-no-int-to-ptr)
}

bool starts_with(const wchar_t* text, const wchar_t* start) {
  return std::wcsncmp(text, start, std::wcslen(start)) == 0;
}

bool is_drive_path(const wchar_t* path) {
  const wchar_t letter = static_cast<wchar_t>(path[0] | 0x20);
  return letter >= L'a' && letter <= L'z' && path[1] == L':' && path[2] == L'\\';
}

// Whether a full path names a device rather than a file on a disk. Under \\.\ and \\?\ a drive
// letter path (\\.\C:\...), a share (UNC\...) or a volume by its name (Volume{...}\...) is a
// file like any other, checked like any other; everything else there (NUL, COM1, pipe\...,
// PhysicalDrive0, C: the volume itself) is a device.
bool is_device(const wchar_t* full) {
  if (!starts_with(full, L"\\\\.\\") && !starts_with(full, L"\\\\?\\")) return false;
  const wchar_t* const rest = full + 4;
  return !is_drive_path(rest) && !starts_with(rest, L"UNC\\") && !starts_with(rest, L"Volume{");
}

// The name in the form the system takes at any length. A name whose full path fits the classic
// limit (MAX_PATH) is passed as typed, as it always was; a longer one as \\?\ and its full path
// (\\?\UNC\ for a share), which the system takes up to 32,767 characters. device: the name
// leads to a device (NUL, COM1, a pipe) rather than to a file on a disk.
const wchar_t* system_form(const wchar_t* name, LongName& room, bool& device) {
  constexpr DWORD kPrefix = 8;  // \\?\UNC\ at most
  wchar_t* const full = room.text + kPrefix;
  constexpr DWORD kRoom = sizeof room.text / sizeof room.text[0] - kPrefix;
  const DWORD length = ::GetFullPathNameW(name, kRoom, full, nullptr);
  device = false;
  // A name the system cannot make a path of is passed as typed: opening it says what is wrong.
  if (length == 0 || length >= kRoom) return name;
  device = is_device(full);
  if (length < MAX_PATH || starts_with(full, L"\\\\?\\") || device) return name;
  // C:\... becomes \\?\C:\..., and \\server\share\... becomes \\?\UNC\server\share\...
  const bool share = starts_with(full, L"\\\\");
  const std::wstring_view prefix = share ? L"\\\\?\\UNC" : L"\\\\?\\";
  wchar_t* const start = (share ? full + 1 : full) - prefix.size();
  std::copy(prefix.begin(), prefix.end(), start);
  return start;
}

int open_file(const wchar_t* name, int flags) {
  return ::_wopen(name, flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

// Which file a handle leads to, whatever name opened it: the volume and the file's id on it, as
// the system keeps them. Names cannot tell: case, slashes, short names, links.
struct FileIdentity {
  bool disk = false;   // a file on a disk, not a device or a pipe
  bool known = false;  // a disk file whose identity the system gave
  bool directory = false;
  DWORD volume = 0;  // the volume's serial number and the file's index on it
  std::uint64_t index = 0;
  bool has_id = false;  // the 128-bit form, where the file system gives one
  std::uint64_t id_volume = 0;
  unsigned char id[16] = {};
  std::uint64_t size = 0;
  std::uint64_t written = 0;  // the time of the last write
};

std::uint64_t join(DWORD high, DWORD low) {
  return (std::uint64_t{high} << 32) | low;
}

FileIdentity identity_of(HANDLE handle) {
  FileIdentity id;
  BY_HANDLE_FILE_INFORMATION info{};
  id.disk = handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_DISK;
  if (!id.disk || ::GetFileInformationByHandle(handle, &info) == 0) return id;
  id.known = true;
  id.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  id.volume = info.dwVolumeSerialNumber;
  id.index = join(info.nFileIndexHigh, info.nFileIndexLow);
  id.size = join(info.nFileSizeHigh, info.nFileSizeLow);
  id.written = join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
  FILE_ID_INFO wide{};
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &wide, sizeof wide) != 0) {
    id.has_id = true;
    id.id_volume = wide.VolumeSerialNumber;
    std::memcpy(id.id, wide.FileId.Identifier, sizeof id.id);
  }
  return id;
}

// The file a name leads to, asked for its attributes only: it is opened neither to read nor
// to write.
FileIdentity identity_of_name(const wchar_t* name) {
  const HANDLE handle = ::CreateFileW(name, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  const FileIdentity id = identity_of(handle);
  ::CloseHandle(handle);
  return id;
}

// Whether two identities are one file: the same id on the same volume, by the 128-bit id where
// both have one. A mount that shows a file of another volume (a share of a local folder) can
// give it another volume and keep its id: the same id, size and time of the last write on two
// volumes count as one file too. Two different files that agree in all three are refused, and
// a refusal is never a loss.
bool same_file(const FileIdentity& a, const FileIdentity& b) {
  if (!a.known || !b.known) return false;
  const bool wide = a.has_id && b.has_id;
  const bool same_id = wide ? std::memcmp(a.id, b.id, sizeof a.id) == 0 : a.index == b.index;
  if (!same_id) return false;
  const bool same_volume = wide ? a.id_volume == b.id_volume : a.volume == b.volume;
  return same_volume || (a.size == b.size && a.written == b.written);
}

// Takes the file as this run's one writer: a lock on one byte at the highest offset a file can
// have, where no data ever lies, so readers and other programs never meet it. A file system that
// keeps no locks is written without one.
bool lock_for_writing(int fd) {
  OVERLAPPED far_end{};
  far_end.Offset = 0xFFFFFFFEu;
  far_end.OffsetHigh = 0xFFFFFFFFu;
  if (::LockFileEx(handle_of(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &far_end) != 0) {
    return true;
  }
  const DWORD error = ::GetLastError();
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

bool truncate_to_empty(int fd) {
  const HANDLE handle = handle_of(fd);
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) != 0 && ::SetEndOfFile(handle) != 0;
}

}  // namespace

bool LogFile::open(const wchar_t* name) {
  close();
  bool device = false;
  fd_ = open_file(system_form(name, long_name_, device), _O_RDONLY);
  if (fd_ < 0) return false;
  if (identity_of(handle_of(fd_)).directory) {
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

bool ValueFile::create(const wchar_t* name, const LogFile& log, LogStart log_start,
                       ExistingFile& existing) {
  close();
  const FileIdentity log_id = identity_of(handle_of(log.descriptor()));
  bool device = false;
  const wchar_t* const system_name = system_form(name, long_name_, device);
  // Looked at first: a name that leads to the log is refused without the log being opened for
  // writing at all. This look only ever refuses; what is done to the file is decided from the
  // file as opened and locked. A device is not looked at: opening one can be an event of its
  // own (a pipe takes its one client).
  if (!device && same_file(identity_of_name(system_name), log_id)) return false;
  // Opened without truncation, to be read as well: it is judged through this descriptor and
  // emptied through the same one, so no file put in its place meanwhile escapes the checks. A
  // device is opened to write only, and so is a file one may write but not read.
  bool readable = !device;
  if (readable) fd_ = open_file(system_name, _O_RDWR | _O_CREAT);
  if (device || (fd_ < 0 && errno == EACCES)) {
    readable = false;
    fd_ = open_file(system_name, _O_WRONLY | _O_CREAT);
  }
  if (fd_ < 0) return false;
  // Only a file on a disk has contents to lose and an identity to compare: a device (NUL, a
  // pipe) is neither the log nor emptied. What kind of file a handle leads to cannot change.
  bool refused = false;
  if (identity_of(handle_of(fd_)).disk) {
    // Everything else is decided after the lock, from the file as it then is: another run may
    // have written it, or finished writing it, while this one opened it.
    refused = !lock_for_writing(fd_);
    const FileIdentity value_id = identity_of(handle_of(fd_));
    refused = refused || !value_id.known || same_file(value_id, log_id);
    if (!refused) {
      DescriptorBytes contents(fd_);
      const Verdict verdict =
          existing.judge(readable ? &contents : nullptr, value_id.size, log_start);
      refused = verdict == Verdict::kRefuse ||
                (verdict == Verdict::kOverwrite && !truncate_to_empty(fd_));
    }
  }
  if (refused) {
    ::_close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

std::ptrdiff_t read_at(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset) {
  std::size_t got = 0;
  while (got < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + got);
    at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
    const std::size_t left = size - got;
    DWORD part = 0;
    if (::ReadFile(handle_of(fd), buffer + got,
                   static_cast<DWORD>(left < kMaxTransfer ? left : kMaxTransfer), &part,
                   &at) == 0) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (part == 0) break;
    got += part;
  }
  return static_cast<std::ptrdiff_t>(got);
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
