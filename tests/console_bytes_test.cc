// How the console's text becomes bytes on Windows, for ANSI code pages of several countries: in
// the code page where every character has its own place there, as UTF-8 where not.
#include "run/console_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace mirtak {
namespace {

TEST(ConsoleBytes, InTheCodePageWhereItCanShowTheTextElseUtf8) {
  const struct {
    std::wstring text;
    std::string bytes;
    unsigned int code_page;
    bool in_code_page;
  } table[] = {
      {L"\r\nNo such file x.log", "\r\nNo such file x.log", 1252, true},
      {L"caf\u00e9.log", "caf\xe9.log", 1252, true},
      {L"caf\u00e9.log", "caf\xc3\xa9.log", 1251, false},  // no best fit to a plain e
      {L"\u0436\u0443\u0440", "\xe6\xf3\xf0", 1251, true},
      {L"\u0436\u0443\u0440", "\xd0\xb6\xd1\x83\xd1\x80", 1252, false},
      {L"\u65e5\u5fd7", "\x93\xfa\x8e\x75", 932, true},
      {L"\u65e5\u5fd7", "\xe6\x97\xa5\xe5\xbf\x97", 1252, false},
      {L"\U0001F4C8", "\xf0\x9f\x93\x88", 1252, false},  // a surrogate pair
      {L"\u65e5\U0001F4C8", "\xe6\x97\xa5\xf0\x9f\x93\x88", 65001, true},
      {std::wstring(L"a\xd800z"), "a\xef\xbf\xbdz", 65001, false},  // half a pair
      {std::wstring(L"\xdc00"), "\xef\xbf\xbd", 1252, false},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(std::to_string(c.code_page) + ": " + c.bytes);
    char out[64];
    const ConsoleBytes got =
        console_bytes(c.code_page, c.text.data(), c.text.size(), out, sizeof out);
    EXPECT_EQ(std::string(out, got.size), c.bytes);
    EXPECT_EQ(got.in_code_page, c.in_code_page);
  }
}

}  // namespace
}  // namespace mirtak
