// The console's bytes go straight to the system's standard output handle: no runtime text
// mode stands between, to add carriage returns of its own.
#include "run/console_windows.h"

#include <windows.h>

#include <climits>

#include "run/console.h"

namespace mirtak {

namespace {

constexpr std::size_t kMaxTransfer = INT_MAX;

int clamp(std::size_t size) {
  return static_cast<int>(size < kMaxTransfer ? size : kMaxTransfer);
}

// The text in the code page, if every character of it has its own place there; -1 if not.
int in_code_page(unsigned int code_page, const wchar_t* text, std::size_t size, char* out,
                 std::size_t room) {
  if (code_page == CP_UTF8) {
    const int put = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, clamp(size), out,
                                          clamp(room), nullptr, nullptr);
    return put > 0 ? put : -1;
  }
  BOOL defaulted = FALSE;
  const int put = ::WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text, clamp(size), out,
                                        clamp(room), nullptr, &defaulted);
  return put > 0 && defaulted == FALSE ? put : -1;
}

// Hands all of data to write_some, a part at a time, until it is written or write_some fails
// (writes nothing): false then. The tool goes on regardless: see run/console.h.
template <typename Char, typename WriteSome>
bool write_all(const Char* data, std::size_t size, WriteSome write_some) {
  while (size != 0) {
    const DWORD put = write_some(data, static_cast<DWORD>(clamp(size)));
    if (put == 0) return false;
    data += put;
    size -= put;
  }
  return true;
}

}  // namespace

ConsoleBytes console_bytes(unsigned int code_page, const wchar_t* text, std::size_t size, char* out,
                           std::size_t room) {
  if (size == 0) return {0, true};
  const int ansi = in_code_page(code_page, text, size, out, room);
  if (ansi >= 0) return {static_cast<std::size_t>(ansi), true};
  const int utf8 =
      ::WideCharToMultiByte(CP_UTF8, 0, text, clamp(size), out, clamp(room), nullptr, nullptr);
  return {static_cast<std::size_t>(utf8 > 0 ? utf8 : 0), false};
}

void Console::write_out(std::size_t size) {
  const HANDLE out = ::GetStdHandle(
      kind_.stream == ConsoleKind::Stream::kError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) {
    failed_ = true;
    return;
  }
  const unsigned int code_page = kind_.utf8 ? CP_UTF8 : ::GetACP();
  const ConsoleBytes bytes = console_bytes(code_page, buffer_, size, bytes_, sizeof bytes_);
  DWORD mode = 0;
  bool written = false;
  if (!bytes.in_code_page && ::GetConsoleMode(out, &mode) != 0) {
    written = write_all(buffer_, size, [out](const wchar_t* part, DWORD length) {
      DWORD put = 0;
      return ::WriteConsoleW(out, part, length, &put, nullptr) != 0 ? put : 0;
    });
  } else {
    written = write_all(bytes_, bytes.size, [out](const char* part, DWORD length) {
      DWORD put = 0;
      return ::WriteFile(out, part, length, &put, nullptr) != 0 ? put : 0;
    });
  }
  if (!written) failed_ = true;
}

}  // namespace mirtak
