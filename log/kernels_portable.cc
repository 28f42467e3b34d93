#include "log/kernels.h"
#include "log/number.h"
#include "output/value_writer.h"

namespace mirtak {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHigh = 0x8080808080808080u;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;

// 0x80 in every byte of the word equal to c, 0 elsewhere; exact, no carries between bytes.
constexpr std::uint64_t bytes_equal(std::uint64_t word, unsigned char c) {
  const std::uint64_t x = word ^ (kOnes * c);
  return ~(((x & kLow7) + kLow7) | x) & kHigh;
}

// The top bit of each byte, gathered into 8 bits: byte i gives bit i.
constexpr std::uint64_t gather(std::uint64_t flags) {
  return ((flags >> 7) * 0x0102040810204080u) >> 56;
}

// The position of the lowest set bit; 64 when there is none.
std::size_t lowest_bit(std::uint64_t word) {
  return word == 0 ? 64 : static_cast<std::size_t>(__builtin_ctzll(word));
}

}  // namespace

void classify_portable(const unsigned char* data, std::size_t chunks, ByteClasses* out) {
  for (std::size_t k = 0; k < chunks; ++k, data += kChunkSize) {
    ByteClasses c{};
    for (std::size_t i = 0; i < kChunkSize / 8; ++i) {
      const std::uint64_t w = load_bytes(data + 8 * i);
      const std::size_t shift = 8 * i;
      c.space |= gather(bytes_equal(w, ' ')) << shift;
      c.newline |= gather(bytes_equal(w, '\n')) << shift;
      c.carriage_return |= gather(bytes_equal(w, '\r')) << shift;
      c.end_of_text |= gather(bytes_equal(w, 0x1A)) << shift;
      c.blank |= gather(bytes_equal(w & 0xF8F8F8F8F8F8F8F8u, 0x08)) << shift;
    }
    out[k] = c;
  }
}

std::size_t find_positions_portable(const std::uint64_t* bits, std::size_t from, std::size_t to,
                                    std::uint16_t* out) {
  std::size_t count = 0;
  for (std::size_t k = from / 64; k * 64 < to; ++k) {
    std::uint64_t word = bits_in_range(bits, k, from, to);
    // Eight positions are written whether or not the word has that many, so the loop rarely
    // branches on the number of bits; only the real ones are counted.
    const auto found = static_cast<std::size_t>(__builtin_popcountll(word));
    std::uint16_t* at = out + count;
    for (std::size_t j = 0; j < 8; ++j, word &= word - 1) {
      at[j] = static_cast<std::uint16_t>(k * 64 + lowest_bit(word));
    }
    for (std::size_t j = 8; j < found; ++j, word &= word - 1) {
      at[j] = static_cast<std::uint16_t>(k * 64 + lowest_bit(word));
    }
    count += found;
  }
  return count;
}

std::int16_t value_at(const unsigned char* p, const unsigned char* end) {
  const bool negative = *p == '-';
  if (is_sign(*p)) ++p;
  const std::uint64_t word = load_bytes(p, end);
  const int count = leading_digits(word);
  if (count == 0) return 0;
  std::uint32_t magnitude = digits_value(word, count);
  if (count == 8) {  // the digits may go on: the line's newline ends them at the latest
    for (p += 8; is_digit(*p); ++p)
      magnitude = append_digit(magnitude, *p);
  }
  return to_value(magnitude, negative);
}

void read_values_portable(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                          const unsigned char* end, unsigned char* out) {
  for (std::size_t i = 0; i < count; ++i)
    store_item(value_at(base + at[i], end), out + 2 * i);
}

}  // namespace mirtak
