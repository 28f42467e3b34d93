// How the text of a field is read as a value: white space skipped, one optional sign, then
// decimal digits up to the first character that is not one. Digits accumulate in 32-bit
// arithmetic that wraps without any check; the value is the low 16 bits of the result, negated
// after a minus, as a two's-complement number: 40000 gives -25536, 65536 gives 0, -32769 gives
// 32767. Text that is not a number gives 0.
#pragma once

#include <cstdint>

#include "log/byte_rules.h"

namespace mirtak {

// The value of a number whose digits gave magnitude (modulo 2^32).
constexpr std::int16_t to_value(std::uint32_t magnitude, bool negative) {
  const std::uint32_t bits = (negative ? 0u - magnitude : magnitude) & 0xFFFFu;
  const auto wide = static_cast<std::int32_t>(bits);
  return static_cast<std::int16_t>(bits < 0x8000u ? wide : wide - 0x10000);
}

// A field's number, read one character at a time.
class Number {
 public:
  // Takes the next character; false once the number has ended, after which nothing changes it.
  constexpr bool take(unsigned char c) {
    if (stage_ == Stage::kStart && is_white_space(c)) return true;
    if (stage_ == Stage::kStart && is_sign(c)) {
      negative_ = c == kMinusSign;
      stage_ = Stage::kDigits;
      return true;
    }
    if (stage_ != Stage::kEnded && is_digit(c)) {
      magnitude_ = with_digit(magnitude_, c);
      stage_ = Stage::kDigits;
      return true;
    }
    stage_ = Stage::kEnded;
    return false;
  }

  // Takes the characters from `at` on, as take() would, while they are digits after a digit or
  // a sign: the run that makes most of a number, in a loop of its own. Returns where it stopped.
  constexpr const unsigned char* take_digits(const unsigned char* at, const unsigned char* end) {
    if (stage_ != Stage::kDigits) return at;
    std::uint32_t magnitude = magnitude_;  // kept in a register
    for (; at != end && is_digit(*at); ++at)
      magnitude = with_digit(magnitude, *at);
    magnitude_ = magnitude;
    return at;
  }

  constexpr std::int16_t value() const { return to_value(magnitude_, negative_); }

 private:
  enum class Stage : unsigned char { kStart, kDigits, kEnded };  // kDigits: after a sign too

  // The magnitude after one more digit, wrapping modulo 2^32.
  static constexpr std::uint32_t with_digit(std::uint32_t magnitude, unsigned char c) {
    return magnitude * 10u + static_cast<std::uint32_t>(c - '0');
  }

  Stage stage_ = Stage::kStart;
  bool negative_ = false;
  std::uint32_t magnitude_ = 0;
};

}  // namespace mirtak
