// The NEON kernels: 16 bytes at a time, for aarch64 processors, every one of which has Advanced
// SIMD (NEON), so they need no test of the processor and no instructions of their own to enable.
#include <arm_neon.h>

#include "log/fast_way.h"
#include "log/fields_in_twos.h"
#include "log/kernels.h"
#include "output/value_writer.h"

// The values are read from the lanes as words whose lowest byte is the first.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the NEON kernels read little-endian lanes");

namespace mirtak::neon {

namespace {

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

// The steps of read_eight_in_twos (log/fields_in_twos.h) with NEON's instructions.
struct Twos {
  using Fields = TwoFields<uint64x2_t>;

  static Fields fields(const unsigned char* first_field, const unsigned char* second_field) {
    uint64x2_t bytes =
        vreinterpretq_u64_u8(vcombine_u8(vld1_u8(first_field), vld1_u8(second_field)));
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

  // The number written by each pair of digits, the earlier in the low byte of a 16-bit lane: the
  // same step as weighted, on bytes (10 * earlier + later is at most 99, so it is exact). Seen
  // as 32-bit lanes.
  static uint32x4_t digit_pairs(uint64x2_t digits) {
    return vreinterpretq_u32_u16(
        vshrq_n_u16(vmulq_n_u16(vreinterpretq_u16_u64(digits), (10 << 8) + 1), 8));
  }

  // Lanes of 32 bits holding two numbers, the first in the low half: times (weight << 16) + 1,
  // the high half of each holds (weight * first + second) modulo 2^16, the low half the first,
  // which cannot carry. Those high halves, of a and then b.
  static uint16x8_t weighted(uint32x4_t a, uint32x4_t b, std::uint32_t weight) {
    const std::uint32_t factor = (weight << 16) + 1;
    return vshrn_high_n_u32(vshrn_n_u32(vmulq_n_u32(a, factor), 16), vmulq_n_u32(b, factor), 16);
  }
  static uint16x8_t weighted_pairs(uint32x4_t a, uint32x4_t b) { return weighted(a, b, 100); }
  static uint16x8_t weighted_quads(uint16x8_t a, uint16x8_t b) {
    return weighted(vreinterpretq_u32_u16(a), vreinterpretq_u32_u16(b), 10000);
  }

  // The low 16 bits of each 64-bit lane of a, b, c and d, in order.
  static uint16x8_t low_halves(uint64x2_t a, uint64x2_t b, uint64x2_t c, uint64x2_t d) {
    const uint32x4_t ab = vuzp1q_u32(vreinterpretq_u32_u64(a), vreinterpretq_u32_u64(b));
    const uint32x4_t cd = vuzp1q_u32(vreinterpretq_u32_u64(c), vreinterpretq_u32_u64(d));
    return vuzp1q_u16(vreinterpretq_u16_u32(ab), vreinterpretq_u16_u32(cd));
  }

  static void store(unsigned char* out, uint16x8_t magnitudes, uint16x8_t negative) {
    const uint16x8_t values = vsubq_u16(veorq_u16(magnitudes, negative), negative);
    vst1q_u8(out, vrev16q_u8(vreinterpretq_u8_u16(values)));  // big-endian items
  }

  // One bit per field, at the bottom of its byte, gathered into one byte.
  static unsigned lanes(uint16x8_t go_on) {
    const std::uint64_t bytes =
        vget_lane_u64(vreinterpret_u64_u8(vmovn_u16(go_on)), 0) & 0x0101010101010101u;
    return static_cast<unsigned>((bytes * 0x0102040810204080u) >> 56);
  }
};

}  // namespace

bool runs_here() {
  return true;  // every aarch64 processor has NEON
}

namespace {

ByteClasses classes_of(const unsigned char* chunk) {
  const uint8x16x4_t bytes = vld4q_u8(chunk);
  const auto equal = [](unsigned char c) {
    return [c](uint8x16_t v) { return vceqq_u8(v, vdupq_n_u8(c)); };
  };
  const auto in_range = [](uint8x16_t v) {
    return vceqq_u8(vandq_u8(v, vdupq_n_u8(kWhiteSpaceRangeMask)),
                    vdupq_n_u8(kWhiteSpaceRangeBits));
  };
  return {bits_where(bytes, equal(kFieldSeparator)), bits_where(bytes, equal(kNewline)),
          bits_where(bytes, in_range), bits_where(bytes, equal(kEndOfText)),
          bits_where(bytes, equal(kTerminatorMark))};
}

}  // namespace

// Each sixteen chunks' values are read eight at a time from the list of their positions.
MIRTAK_SET_CONVERT(__attribute__((flatten)), classes_of, list_by_bits<>, read_eight_in_twos<Twos>)

}  // namespace mirtak::neon
