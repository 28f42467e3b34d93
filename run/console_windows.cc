// The console's bytes go straight to the system's standard output handle: no runtime text
// mode stands between, to add carriage returns of its own.
#include <windows.h>

#include <climits>

#include "run/console.h"

namespace mirtak {

void Console::write_out(std::size_t size) {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  const char* data = buffer_;
  while (size != 0) {
    DWORD put = 0;
    const auto ask = static_cast<DWORD>(size < INT_MAX ? size : INT_MAX);
    // Errors are deliberately ignored: see the header.
    if (::WriteFile(out, data, ask, &put, nullptr) == 0 || put == 0) return;
    data += put;
    size -= put;
  }
}

}  // namespace mirtak
