// How the text of a field is read as a value: white space skipped, one optional sign, then
// decimal digits. Digits accumulate in 32-bit arithmetic that wraps without any check, and the
// value is the low 16 bits of the (possibly negated) result, as a two's-complement number:
// 40000 gives -25536, 65536 gives 0, -32769 gives 32767. Reading stops at the first character
// that does not fit; text that is not a number gives 0.
#pragma once

#include <cstdint>
#include <cstring>

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

// Eight bytes as a word whose lowest byte is the first, on any machine.
inline std::uint64_t load_bytes(const unsigned char* p) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// The same, for the last bytes before end: missing bytes read as NUL, which is not a digit.
inline std::uint64_t load_bytes(const unsigned char* p, const unsigned char* end) {
  if (end - p >= 8) return load_bytes(p);
  unsigned char tail[8] = {};
  std::memcpy(tail, p, static_cast<std::size_t>(end - p));
  return load_bytes(tail);
}

// How many of the word's bytes, from the first, are digits (0 to 8).
inline int leading_digits(std::uint64_t word) {
  const std::uint64_t not_digit =
      ((word & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u) |
      (((word & 0x0F0F0F0F0F0F0F0Fu) + 0x0606060606060606u) & 0x1010101010101010u);
  return not_digit == 0 ? 8 : __builtin_ctzll(not_digit) / 8;
}

// The number written by the first count (1 to 8) digits of the word, eight at a time: the
// digits are moved to the top of the word, so the bytes below act as leading zeros.
inline std::uint32_t digits_value(std::uint64_t word, int count) {
  std::uint64_t v = (word - 0x3030303030303030u) << (8 * (8 - count));
  v = v * 10 + (v >> 8);
  v = ((v & 0x000000FF000000FFu) * (100 + (1000000ull << 32)) +
       ((v >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

}  // namespace mirtak
