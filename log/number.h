// How the text of a field is read as a value: white space skipped, one optional sign, then
// decimal digits. Digits accumulate in 32-bit arithmetic that wraps without any check, and the
// value is the low 16 bits of the (possibly negated) result, as a two's-complement number:
// 40000 gives -25536, 65536 gives 0, -32769 gives 32767. Reading stops at the first character
// that does not fit; text that is not a number gives 0.
#pragma once

#include <cstdint>

namespace mirtak {

// Tab, newline, vertical tab, form feed, carriage return and space; nothing else (not NUL, not
// bytes 0x80..0xFF), whatever the locale.
constexpr bool is_white_space(unsigned char c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

constexpr bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}

constexpr bool is_sign(unsigned char c) {
  return c == '+' || c == '-';
}

constexpr std::uint32_t append_digit(std::uint32_t magnitude, unsigned char digit) {
  return magnitude * 10u + static_cast<std::uint32_t>(digit - '0');
}

constexpr std::int16_t to_value(std::uint32_t magnitude, bool negative) {
  const std::uint32_t bits = (negative ? 0u - magnitude : magnitude) & 0xFFFFu;
  const auto wide = static_cast<std::int32_t>(bits);
  return static_cast<std::int16_t>(bits < 0x8000u ? wide : wide - 0x10000);
}

}  // namespace mirtak
