#include "run/console.h"

namespace mirtak {

namespace {

#ifdef _WIN32
constexpr bool kSystemLineEndIsCrLf = true;
#else
constexpr bool kSystemLineEndIsCrLf = false;
#endif

// Whether c is the second half of a character whose first half is previous: a UTF-16
// surrogate pair. Bytes are never held together: however they are cut, they are the same.
bool continues_character(NameChar previous, NameChar c) {
#ifdef _WIN32
  return previous >= 0xD800 && previous <= 0xDBFF && c >= 0xDC00 && c <= 0xDFFF;
#else
  (void)previous;
  (void)c;
  return false;
#endif
}

}  // namespace

void Console::print(std::string_view text, NameView name, std::string_view more) {
  std::size_t used = 0;
  NameChar previous = 0;
  const auto put = [&](NameChar c) {
    // Room for a carriage return and its newline; the second half of a pair always has room,
    // as its first half left at least one place.
    if (used + 2 > kBufferSize && !continues_character(previous, c)) {
      write_out(used);
      used = 0;
    }
    if (c == '\n' && (kind_.crlf || kSystemLineEndIsCrLf)) buffer_[used++] = '\r';
    buffer_[used++] = c;
    previous = c;
  };
  for (const char c : text)
    put(static_cast<NameChar>(static_cast<unsigned char>(c)));
  for (const NameChar c : name)
    put(c);
  for (const char c : more)
    put(static_cast<NameChar>(static_cast<unsigned char>(c)));
  if (used != 0) write_out(used);
}

}  // namespace mirtak
