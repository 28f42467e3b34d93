// The NEON kernels: 16 bytes at a time, for aarch64 processors, every one of which has Advanced
// SIMD (NEON), so they need no test of the processor and no instructions of their own to enable.
#include <arm_neon.h>

#include "log/fast_way.h"
#include "log/kernels.h"
#include "output/value_writer.h"

// The values are read from the lanes as words whose lowest byte is the first.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the NEON kernels read little-endian lanes");

namespace mirtak::neon {

namespace {

uint8x16_t equal(uint8x16_t v, unsigned char c) {
  return vceqq_u8(v, vdupq_n_u8(c));
}

uint8x16_t in_white_space_range(uint8x16_t v) {
  return equal(vandq_u8(v, vdupq_n_u8(kWhiteSpaceRangeMask)), kWhiteSpaceRangeBits);
}

// The bit mask of a chunk loaded de-interleaved (byte 4j + v of the chunk is byte j of
// bytes.val[v]), from the byte masks (0xFF or 0) that `test` gives for its four vectors: bit i
// for byte i. Shifts right with insertion put the four masks of byte j side by side as bits
// 0..3 and again as bits 4..7 of one byte; a narrowing shift by 4 then keeps bits 4..7 of each
// even byte j and bits 0..3 of the odd one after it: chunk bytes 4j .. 4j + 7, in order.
template <typename Test>
std::uint64_t bits_where(const uint8x16x4_t& bytes, Test test) {
  const uint8x16_t m01 = vsriq_n_u8(test(bytes.val[1]), test(bytes.val[0]), 1);
  const uint8x16_t m23 = vsriq_n_u8(test(bytes.val[3]), test(bytes.val[2]), 1);
  const uint8x16_t m0123 = vsriq_n_u8(m23, m01, 2);  // bits 4..7: masks 0..3
  const uint8x16_t twice = vsriq_n_u8(m0123, m0123, 4);
  const uint8x8_t packed = vshrn_n_u16(vreinterpretq_u16_u8(twice), 4);
  return vget_lane_u64(vreinterpret_u64_u8(packed), 0);
}

// Two fields at a time, one in each 64-bit lane: their first eight bytes, a sign turned into a
// leading zero (a minus remembered). The digits before the first other byte are moved to the top
// of the lane, so the bytes below act as leading zeros.
struct TwoFields {
  uint64x2_t digits;     // one to a byte, the last in the top byte; zero bytes below
  uint64x2_t negative;   // all ones in a lane after a minus
  uint64x2_t may_go_on;  // all ones in a lane of digits alone: the number may go on past them
};

TwoFields two_fields(const unsigned char* first_field, const unsigned char* second_field) {
  uint64x2_t bytes = vreinterpretq_u64_u8(vcombine_u8(vld1_u8(first_field), vld1_u8(second_field)));
  const uint64x2_t first = vandq_u64(bytes, vdupq_n_u64(0xFF));
  const uint64x2_t negative = vceqq_u64(first, vdupq_n_u64(kMinusSign));
  const uint64x2_t sign = vorrq_u64(negative, vceqq_u64(first, vdupq_n_u64(kPlusSign)));
  bytes = veorq_u64(bytes, vandq_u64(sign, veorq_u64(first, vdupq_n_u64('0'))));

  const uint8x16_t digits = vsubq_u8(vreinterpretq_u8_u64(bytes), vdupq_n_u8('0'));
  const uint64x2_t other = vreinterpretq_u64_u8(vcgtq_u8(digits, vdupq_n_u8(9)));
  // The lowest bit of the first other byte; less one, every bit of the digits before it. An 8
  // kept in each of their bytes adds up to 8 * digits.
  const uint64x2_t first_other =
      vandq_u64(other, vreinterpretq_u64_s64(vnegq_s64(vreinterpretq_s64_u64(other))));
  const uint8x16_t before = vreinterpretq_u8_u64(vsubq_u64(first_other, vdupq_n_u64(1)));
  const uint64x2_t digit_bits =
      vpaddlq_u32(vpaddlq_u16(vpaddlq_u8(vandq_u8(before, vdupq_n_u8(8)))));
  // Shifting by 64 - 8 * digits keeps just the digits; 64 leaves nothing.
  const int64x2_t shift = vsubq_s64(vdupq_n_s64(64), vreinterpretq_s64_u64(digit_bits));
  return {vshlq_u64(vreinterpretq_u64_u8(digits), shift), negative, vceqzq_u64(other)};
}

// Lanes of 32 bits holding two numbers, the first in the low half: times (weight << 16) + 1,
// the high half of each holds (weight * first + second) modulo 2^16, the low half the first,
// which cannot carry. Those high halves, of a and then b.
uint16x8_t weighted_pairs(uint32x4_t a, uint32x4_t b, std::uint32_t weight) {
  const std::uint32_t factor = (weight << 16) + 1;
  return vshrn_high_n_u32(vshrn_n_u32(vmulq_n_u32(a, factor), 16), vmulq_n_u32(b, factor), 16);
}

// The number written by each pair of digits, the earlier in the low byte of a 16-bit lane: the
// same step as weighted_pairs, on bytes (10 * earlier + later is at most 99, so it is exact).
// Seen as 32-bit lanes, ready for weighted_pairs.
uint32x4_t digit_pairs(uint64x2_t digits) {
  return vreinterpretq_u32_u16(
      vshrq_n_u16(vmulq_n_u16(vreinterpretq_u16_u64(digits), (10 << 8) + 1), 8));
}

// The low 16 bits of each 64-bit lane of a, b, c and d, in order.
uint16x8_t low_halves(uint64x2_t a, uint64x2_t b, uint64x2_t c, uint64x2_t d) {
  const uint32x4_t ab = vuzp1q_u32(vreinterpretq_u32_u64(a), vreinterpretq_u32_u64(b));
  const uint32x4_t cd = vuzp1q_u32(vreinterpretq_u32_u64(c), vreinterpretq_u32_u64(d));
  return vuzp1q_u16(vreinterpretq_u16_u32(ab), vreinterpretq_u16_u32(cd));
}

}  // namespace

bool runs_here() {
  return true;  // every aarch64 processor has NEON
}

namespace {

// Eight fields at a time, two to a vector. Their digits are combined by multiplies: pairs of
// digits, then pairs of those (each field's first four digits and its last four), then the
// two halves, modulo 2^16 (the number's low 16 bits); then negated after a minus. A field of
// eight digits is read again one character at a time.
void read_eight(const unsigned char* base, const std::uint16_t* at, const unsigned char* end,
                unsigned char* out) {
  const TwoFields f01 = two_fields(base + at[0], base + at[1]);
  const TwoFields f23 = two_fields(base + at[2], base + at[3]);
  const TwoFields f45 = two_fields(base + at[4], base + at[5]);
  const TwoFields f67 = two_fields(base + at[6], base + at[7]);
  const uint16x8_t quads_0123 =
      weighted_pairs(digit_pairs(f01.digits), digit_pairs(f23.digits), 100);
  const uint16x8_t quads_4567 =
      weighted_pairs(digit_pairs(f45.digits), digit_pairs(f67.digits), 100);
  const uint16x8_t magnitudes =
      weighted_pairs(vreinterpretq_u32_u16(quads_0123), vreinterpretq_u32_u16(quads_4567), 10000);
  const uint16x8_t negative = low_halves(f01.negative, f23.negative, f45.negative, f67.negative);
  const uint16x8_t values = vsubq_u16(veorq_u16(magnitudes, negative), negative);
  vst1q_u8(out, vrev16q_u8(vreinterpretq_u8_u16(values)));  // big-endian items

  const uint16x8_t go_on = low_halves(f01.may_go_on, f23.may_go_on, f45.may_go_on, f67.may_go_on);
  // One bit per field, at the bottom of its byte, gathered into one byte: bit k for field k.
  const std::uint64_t lanes =
      vget_lane_u64(vreinterpret_u64_u8(vmovn_u16(go_on)), 0) & 0x0101010101010101u;
  read_long_values(static_cast<unsigned>((lanes * 0x0102040810204080u) >> 56), base, at, end, out);
}

ByteClasses classes_of(const unsigned char* chunk) {
  const uint8x16x4_t bytes = vld4q_u8(chunk);
  return {bits_where(bytes, [](uint8x16_t v) { return equal(v, kFieldSeparator); }),
          bits_where(bytes, [](uint8x16_t v) { return equal(v, kNewline); }),
          bits_where(bytes, in_white_space_range),
          bits_where(bytes, [](uint8x16_t v) { return equal(v, kEndOfText); }),
          bits_where(bytes, [](uint8x16_t v) { return equal(v, kTerminatorMark); })};
}

}  // namespace

// Each sixteen chunks' values are read eight at a time from the list of their positions.
Converted convert(Reading reading, const unsigned char* begin, const unsigned char* end,
                  ValueWriter& out) {
  return convert_fast<classes_of, list_by_bits, read_eight>(reading, begin, end, out);
}

}  // namespace mirtak::neon
