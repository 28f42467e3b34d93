// A file name as the command line gives it and the system takes it to open a file, kept exactly
// as typed: bytes on POSIX systems, UTF-16 on Windows, where a name passed through the ANSI code
// page would lose every character outside it.
#pragma once

#include <string_view>

namespace mirtak {

#ifdef _WIN32
using NameChar = wchar_t;
#else
using NameChar = char;
#endif

using NameView = std::basic_string_view<NameChar>;

}  // namespace mirtak
