// The WebAssembly SIMD128 kernels: 16 bytes at a time, for the page's module (web/) when it is
// built with SIMD128. An engine that runs such a module has SIMD128 (one without it refuses the
// whole module), so they need no test at run time. Values are read eight fields at a time, two to a
// vector, as the NEON kernels read them (log/fields_in_twos.h), with a byte shuffle where NEON
// shifts each lane by its own amount.
#include <wasm_simd128.h>

#include "log/fast_way.h"
#include "log/fields_in_twos.h"
#include "log/kernels.h"
#include "output/value_writer.h"

namespace mirtak::wasm_simd128 {

namespace {

v128_t equal(v128_t v, unsigned char c) {
  return wasm_i8x16_eq(v, wasm_u8x16_splat(c));
}

v128_t in_white_space_range(v128_t v) {
  return equal(wasm_v128_and(v, wasm_u8x16_splat(kWhiteSpaceRangeMask)), kWhiteSpaceRangeBits);
}

// The bit mask of a chunk (four vectors of 16 bytes) from the byte masks that `test` gives:
// bit i for byte i.
template <typename Test>
std::uint64_t bits_where(const v128_t (&bytes)[4], Test test) {
  std::uint64_t bits = 0;
  for (unsigned v = 0; v < 4; ++v)
    bits |= std::uint64_t{static_cast<std::uint16_t>(wasm_i8x16_bitmask(test(bytes[v])))}
            << (16 * v);
  return bits;
}

// The steps of read_eight_in_twos (log/fields_in_twos.h) with SIMD128's instructions.
struct Twos {
  using Fields = TwoFields<v128_t>;

  static Fields fields(const unsigned char* first_field, const unsigned char* second_field) {
    v128_t bytes = wasm_v128_load64_lane(second_field, wasm_v128_load64_zero(first_field), 1);
    const v128_t first = wasm_v128_and(bytes, wasm_i64x2_splat(0xFF));
    const v128_t negative = wasm_i64x2_eq(first, wasm_i64x2_splat(kMinusSign));
    const v128_t sign = wasm_v128_or(negative, wasm_i64x2_eq(first, wasm_i64x2_splat(kPlusSign)));
    bytes = wasm_v128_xor(bytes, wasm_v128_and(sign, wasm_v128_xor(first, wasm_i64x2_splat('0'))));

    const v128_t digits = wasm_i8x16_sub(bytes, wasm_u8x16_splat('0'));
    const v128_t other = wasm_u8x16_gt(digits, wasm_u8x16_splat(9));
    // The lowest bit of the first other byte; less one, every bit of the digits before it. The
    // bytes that are not among them, counted by a multiply into each lane's top byte, are how far
    // the digits move up.
    const v128_t first_other = wasm_v128_and(other, wasm_i64x2_neg(other));
    const v128_t after = wasm_v128_not(wasm_i64x2_sub(first_other, wasm_i64x2_splat(1)));
    const v128_t counted = wasm_i64x2_mul(wasm_v128_and(after, wasm_u8x16_splat(1)),
                                          wasm_i64x2_splat(0x0101010101010101));
    const v128_t shift = wasm_i8x16_swizzle(
        counted, wasm_u8x16_const(7, 7, 7, 7, 7, 7, 7, 7, 15, 15, 15, 15, 15, 15, 15, 15));
    // Byte j of a lane takes byte j - shift of that lane; below the shift, an index out of range
    // gives 0.
    const v128_t place = wasm_u8x16_const(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
    const v128_t lane = wasm_u8x16_const(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const v128_t from = wasm_v128_or(wasm_i8x16_sub(lane, shift), wasm_u8x16_lt(place, shift));
    return {wasm_i8x16_swizzle(digits, from), negative, wasm_i64x2_eq(other, wasm_i64x2_splat(0))};
  }

  // The low 16 bits of each 32-bit lane of a, then of b.
  static v128_t low_halves_of_words(v128_t a, v128_t b) {
    return wasm_i8x16_shuffle(a, b, 0, 1, 4, 5, 8, 9, 12, 13, 16, 17, 20, 21, 24, 25, 28, 29);
  }

  // Lanes of 32 bits holding two numbers, the first in the low half: times (weight << 16) + 1,
  // the high half of each holds (weight * first + second) modulo 2^16. Those high halves, of a
  // and then b.
  static v128_t weighted(v128_t a, v128_t b, std::uint32_t weight) {
    const v128_t factor = wasm_u32x4_splat((weight << 16) + 1);
    return low_halves_of_words(wasm_u32x4_shr(wasm_i32x4_mul(a, factor), 16),
                               wasm_u32x4_shr(wasm_i32x4_mul(b, factor), 16));
  }
  static v128_t weighted_pairs(v128_t a, v128_t b) { return weighted(a, b, 100); }
  static v128_t weighted_quads(v128_t a, v128_t b) { return weighted(a, b, 10000); }

  // The number written by each pair of digits, the earlier in the low byte of a 16-bit lane: the
  // same step on bytes (10 * earlier + later is at most 99, so it is exact).
  static v128_t digit_pairs(v128_t digits) {
    return wasm_u16x8_shr(wasm_i16x8_mul(digits, wasm_u16x8_splat((10 << 8) + 1)), 8);
  }

  // The low 16 bits of each 64-bit lane of a, b, c and d, in order.
  static v128_t low_halves(v128_t a, v128_t b, v128_t c, v128_t d) {
    const v128_t ab =
        wasm_i8x16_shuffle(a, b, 0, 1, 8, 9, 16, 17, 24, 25, 0, 1, 8, 9, 16, 17, 24, 25);
    const v128_t cd =
        wasm_i8x16_shuffle(c, d, 0, 1, 8, 9, 16, 17, 24, 25, 0, 1, 8, 9, 16, 17, 24, 25);
    return wasm_i8x16_shuffle(ab, cd, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
  }

  static void store(unsigned char* out, v128_t magnitudes, v128_t negative) {
    const v128_t values = wasm_i16x8_sub(wasm_v128_xor(magnitudes, negative), negative);
    // Big-endian items.
    wasm_v128_store(out, wasm_i8x16_shuffle(values, values, 1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10,
                                            13, 12, 15, 14));
  }

  static unsigned lanes(v128_t go_on) { return static_cast<unsigned>(wasm_i16x8_bitmask(go_on)); }
};

}  // namespace

bool runs_here() {
  return true;  // the module would not have been run without SIMD128
}

namespace {

ByteClasses classes_of(const unsigned char* chunk) {
  const v128_t bytes[4] = {wasm_v128_load(chunk), wasm_v128_load(chunk + 16),
                           wasm_v128_load(chunk + 32), wasm_v128_load(chunk + 48)};
  return {bits_where(bytes, [](v128_t v) { return equal(v, kFieldSeparator); }),
          bits_where(bytes, [](v128_t v) { return equal(v, kNewline); }),
          bits_where(bytes, in_white_space_range),
          bits_where(bytes, [](v128_t v) { return equal(v, kEndOfText); }),
          bits_where(bytes, [](v128_t v) { return equal(v, kTerminatorMark); })};
}

}  // namespace

// Each sixteen chunks' values are read eight at a time from the list of their positions.
MIRTAK_SET_CONVERT(__attribute__((flatten)), classes_of, list_by_bits<>, read_eight_in_twos<Twos>)

}  // namespace mirtak::wasm_simd128
