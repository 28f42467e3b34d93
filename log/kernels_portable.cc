// The portable kernels: eight bytes at a time in 64-bit words, on any processor.
#include "log/fast_way.h"
#include "log/kernels.h"
#include "output/value_writer.h"

#include <cstring>

namespace mirtak::portable {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHigh = 0x8080808080808080u;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;

// Eight bytes as a word whose lowest byte is the first, on any machine.
std::uint64_t load_bytes(const unsigned char* p) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// A word's bytes as the compares take them: each one's low seven bits, and 0x80 in each one
// below 0x80. Every byte a class is made of lies below 0x80, so a byte with its top bit set is in
// none, and the low seven bits of the rest decide: the two are worked out once per word.
struct Bytes {
  std::uint64_t low7;
  std::uint64_t below_0x80;
};

constexpr Bytes bytes_of(std::uint64_t word) {
  return {word & kLow7, ~word & kHigh};
}

// 0x80 in every byte equal to c (below 0x80), 0 elsewhere; exact, no carries between bytes: a
// byte's low seven bits differ from c's exactly when adding 0x7F to their difference sets bit 7.
constexpr std::uint64_t bytes_equal(Bytes b, unsigned char c) {
  return ~((b.low7 ^ (kOnes * c)) + kLow7) & b.below_0x80;
}

// 0x80 in every byte in the white-space range.
constexpr std::uint64_t in_range(Bytes b) {
  constexpr std::uint64_t kMask = kOnes * (kWhiteSpaceRangeMask & 0x7Fu);
  return bytes_equal({b.low7 & kMask, b.below_0x80}, kWhiteSpaceRangeBits);
}

// The compares are exact for every byte of each class.
constexpr bool word_compares_are_exact() {
  for (unsigned v = 0; v < 256; ++v) {
    const auto c = static_cast<unsigned char>(v);
    const Bytes b = bytes_of(kOnes * c);
    const auto flags = [](bool in_class) { return in_class ? kHigh : 0; };
    if (bytes_equal(b, kFieldSeparator) != flags(c == kFieldSeparator) ||
        bytes_equal(b, kNewline) != flags(c == kNewline) ||
        bytes_equal(b, kEndOfText) != flags(c == kEndOfText) ||
        in_range(b) != flags(in_white_space_range(c))) {
      return false;
    }
  }
  return true;
}
static_assert(word_compares_are_exact(), "the word compares must match the bytes of the rules");

// The top bit of each byte, gathered into 8 bits: byte i gives bit i.
constexpr std::uint64_t gather(std::uint64_t flags) {
  return ((flags >> 7) * 0x0102040810204080u) >> 56;
}

// How many of the word's bytes, from the first, are digits (0 to 8).
constexpr int leading_digits(std::uint64_t word) {
  const std::uint64_t not_digit =
      ((word & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u) |
      (((word & 0x0F0F0F0F0F0F0F0Fu) + 0x0606060606060606u) & 0x1010101010101010u);
  return not_digit == 0 ? 8 : __builtin_ctzll(not_digit) / 8;
}

// The digit test of the words takes exactly the digits of the number's reading.
constexpr bool word_digits_are_the_digits() {
  for (unsigned b = 0; b < 256; ++b) {
    const auto c = static_cast<unsigned char>(b);
    if (leading_digits(kOnes * c) != (is_digit(c) ? 8 : 0)) return false;
  }
  return true;
}
static_assert(word_digits_are_the_digits(), "the word digit test must match the digits");

// The number written by the first count (0 to 7) digits of the word, eight at a time: the
// digits are moved to the top of the word, so the bytes below act as leading zeros.
constexpr std::uint32_t digits_value(std::uint64_t word, int count) {
  std::uint64_t v = ((word - kOnes * '0') << (8 * (7 - count))) << 8;
  v = v * 10 + (v >> 8);
  v = ((v & 0x000000FF000000FFu) * (100 + (1000000ull << 32)) +
       ((v >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

// A sign and up to eight digits in one word, the sign read as a leading zero; longer numbers
// one character at a time. The eight bytes at p may be read (the kernels' read-ahead).
std::int16_t read_value(const unsigned char* p, const unsigned char* end) {
  std::uint64_t word = load_bytes(p);
  const auto first = static_cast<unsigned char>(word & 0xFFu);
  const bool negative = first == kMinusSign;
  // Without a branch: a minus or not is as likely as a coin.
  word ^= static_cast<std::uint64_t>(first ^ '0') & (is_sign(first) ? ~std::uint64_t{0} : 0);
  const int count = leading_digits(word);
  if (count == 8) return field_value(p, end);  // the digits may go on
  return to_value(digits_value(word, count), negative);
}

// The space, the newline and the white-space range in every word; Ctrl-Z is tested too, and
// gathered only from a chunk that has one. A "+" matters only where a line starts (the chunk's
// first byte is taken as one): those few bytes are looked at one by one.
ByteClasses classes_of(const unsigned char* chunk) {
  ByteClasses c{};
  std::uint64_t end_of_text = 0;
#pragma GCC unroll 8
  for (std::size_t i = 0; i < kChunkSize / 8; ++i) {
    const Bytes w = bytes_of(load_bytes(chunk + 8 * i));
    const std::size_t shift = 8 * i;
    c.separator |= gather(bytes_equal(w, kFieldSeparator)) << shift;
    c.newline |= gather(bytes_equal(w, kNewline)) << shift;
    c.white_space_range |= gather(in_range(w)) << shift;
    end_of_text |= bytes_equal(w, kEndOfText);
  }
  if (end_of_text != 0) {
    for (std::size_t i = 0; i < kChunkSize / 8; ++i)
      c.end_of_text |= gather(bytes_equal(bytes_of(load_bytes(chunk + 8 * i)), kEndOfText))
                       << 8 * i;
  }
  // The first four without a branch on how many there are (a line of a few columns is about
  // 20 bytes): past the last, the chunk's last byte is looked at, and a "+" found there is
  // no line's first unless it is one, which the derivation tells.
  std::uint64_t starts = (c.newline << 1) | 1;
  const auto look = [&](std::uint64_t bits) {
    const auto at = static_cast<unsigned>(__builtin_ctzll(bits | std::uint64_t{1} << 63));
    c.plus |= static_cast<std::uint64_t>(chunk[at] == kTerminatorMark) << at;
  };
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i, starts &= starts - 1)
    look(starts);
  for (; starts != 0; starts &= starts - 1)
    look(starts);
  return c;
}

// The positions one bit at a time: without a population count instruction, counting them as they
// are listed costs less than counting them first.
std::uint16_t* list_fields(std::uint16_t* at, std::uint64_t values, unsigned offset) {
  for (; values != 0; values &= values - 1)
    *at++ = static_cast<std::uint16_t>(offset + static_cast<unsigned>(__builtin_ctzll(values)));
  return at;
}

// One field at a time, one word each, unrolled: a loop's test would cost a branch a value.
void read_eight(const unsigned char* first, const std::uint16_t* at, const unsigned char* end,
                unsigned char* out) {
#pragma GCC unroll 8
  for (std::size_t k = 0; k < 8; ++k)
    store_item(read_value(first + at[k], end), out + 2 * k);
}

}  // namespace

bool runs_here() {
  return true;
}

MIRTAK_SET_CONVERT(__attribute__((flatten)), classes_of, list_fields, read_eight)

}  // namespace mirtak::portable
