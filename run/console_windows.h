// How the console's text, UTF-16 on Windows, becomes bytes. A name that the ANSI code page can
// show goes out in it, exactly the bytes the tool printed when it took its arguments in that
// code page. A message with any other character goes out readably instead: to a console window
// as UTF-16 (WriteConsoleW shows every character), to a file or a pipe as UTF-8.
#pragma once

#include <cstddef>

namespace mirtak {

struct ConsoleBytes {
  std::size_t size;   // bytes written to out
  bool in_code_page;  // false: UTF-8, as some character has no place in the code page
};

// Encodes text for the ANSI code page given: in it if every character has its own place there
// (no best fit, no default character), else as UTF-8, with U+FFFD for half a surrogate pair.
// out has room for at least three bytes a character.
ConsoleBytes console_bytes(unsigned int code_page, const wchar_t* text, std::size_t size, char* out,
                           std::size_t room);

}  // namespace mirtak
