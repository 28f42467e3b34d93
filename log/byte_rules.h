// The bytes a log's rules speak of, and the classes they fall in: the one home of each. The
// plain reading (log/reading.h, log/number.h), the mask arithmetic (log/chunk_masks.h) and every
// kernel set (log/kernels_NAME.cc) take them from here; where a kernel
// tests a class another way (a range, a word-wide compare), a compile-time check below or the
// byte sweep (tests/byte_sweep_test.cc) ties it to these.
#pragma once

namespace mirtak {

// The text: every carriage return is dropped, the first Ctrl-Z ends the input.
inline constexpr unsigned char kCarriageReturn = 0x0D;
inline constexpr unsigned char kEndOfText = 0x1A;  // Ctrl-Z

// The line structure: lines end at the newline; the first later line whose first character is
// this mark ends the data.
inline constexpr unsigned char kNewline = 0x0A;
inline constexpr unsigned char kTerminatorMark = '+';

// Fields: only the space separates them.
inline constexpr unsigned char kFieldSeparator = ' ';

// Numbers: white space skipped, one optional sign, then decimal digits.
inline constexpr unsigned char kPlusSign = '+';
inline constexpr unsigned char kMinusSign = '-';

// Tab, newline, vertical tab, form feed, carriage return and space; nothing else (not NUL, not
// bytes 0x80..0xFF), whatever the locale.
constexpr bool is_white_space(unsigned char c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

constexpr bool is_sign(unsigned char c) {
  return c == kPlusSign || c == kMinusSign;
}

constexpr bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}

// The kernels' test for white space: every white-space byte but the separator lies in
// 0x08..0x0F, which one mask test takes whole. At the start of a value field such a byte is
// skipped by the reading of the number, which the kernels, reading from the field's first
// character, do not do: such a byte's field is left to the plain reading. (0x08, 0x0E and 0x0F
// come along with the test; they only cost speed.)
inline constexpr unsigned char kWhiteSpaceRangeMask = 0xF8;
inline constexpr unsigned char kWhiteSpaceRangeBits = 0x08;

constexpr bool in_white_space_range(unsigned char c) {
  return (c & kWhiteSpaceRangeMask) == kWhiteSpaceRangeBits;
}

constexpr bool white_space_range_holds_all_but_the_separator() {
  for (unsigned b = 0; b < 256; ++b) {
    const auto c = static_cast<unsigned char>(b);
    if (is_white_space(c) && c != kFieldSeparator && !in_white_space_range(c)) return false;
  }
  return true;
}
static_assert(white_space_range_holds_all_but_the_separator(),
              "the kernels' white-space test must take every white-space byte but the separator");
static_assert(!in_white_space_range(kFieldSeparator),
              "separators are not sent to the plain reading");
}  // namespace mirtak
