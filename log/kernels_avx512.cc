// The AVX-512 kernels: 64 bytes at a time, for x86-64 processors with AVX-512 (F, BW, CD, DQ,
// VL) and VBMI and VBMI2. Each function is compiled for those instructions alone, so the rest of
// the program still runs on any x86-64.
#include <immintrin.h>

#include "log/kernels.h"
#include "output/value_writer.h"

// GCC 12 takes the deliberately undefined starting value inside its AVX-512 intrinsics for a
// use of an uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace mirtak::avx512 {

namespace {

__attribute__((target("avx512bw"))) std::uint64_t equal(__m512i v, unsigned char c) {
  return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(c)));
}

}  // namespace

bool runs_here() {
  // The compiler's own test of the processor (and of the system's support for its registers);
  // its result type differs between compilers.
  // NOLINTBEGIN(readability-implicit-bool-conversion)
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("popcnt");
  // NOLINTEND(readability-implicit-bool-conversion)
}

// The masks are derived here too, so with BMI's and-not. The offsets of a chunk's values are its
// byte numbers, packed together by one compress.
__attribute__((target("avx512bw,avx512vbmi2,bmi,popcnt"))) void map_chunks(
    const unsigned char* data, std::size_t chunks, MaskDeriver& deriver) {
  static constexpr unsigned char kByteNumbers[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  const __m512i numbers = _mm512_loadu_si512(kByteNumbers);
  const __m512i range_mask = _mm512_set1_epi8(static_cast<char>(kWhiteSpaceRangeMask));
  MaskDeriver local = deriver;  // kept in registers
  for (std::size_t k = 0; k < chunks; ++k, data += kChunkSize) {
    const __m512i v = _mm512_loadu_si512(data);
    const std::uint64_t values =
        local.push({equal(v, kFieldSeparator), equal(v, kNewline),
                    equal(_mm512_and_si512(v, range_mask), kWhiteSpaceRangeBits),
                    equal(v, kEndOfText), equal(v, kTerminatorMark)});
    const __m512i packed = _mm512_maskz_compress_epi8(values, numbers);
    const __m512i base = _mm512_set1_epi16(static_cast<short>(local.next_base()));
    std::uint16_t* at = local.next_offsets();
    _mm512_storeu_si512(
        at, _mm512_add_epi16(_mm512_cvtepu8_epi16(_mm512_castsi512_si256(packed)), base));
    // More than 32 values in 64 bytes takes a line of one-digit fields ending in a space.
    const auto found = static_cast<std::size_t>(__builtin_popcountll(values));
    if (found > 32) {
      _mm512_storeu_si512(
          at + 32,
          _mm512_add_epi16(_mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(packed, 1)), base));
    }
    local.offsets_written(found);
  }
  deriver = local;
}

// Eight fields at a time, one in each 64-bit lane: their first eight bytes, a sign turned into a
// leading zero (a minus remembered). The digits before the first other byte are moved to the top
// of the lane, so the bytes below act as leading zeros, and combined by multiply-adds into the
// number, negated after a minus and cut to its low 16 bits. A lane of eight digits may go on
// past them: that field is read again one character at a time.
__attribute__((target("avx512bw,avx512cd,avx512dq,avx512vl,avx512vbmi"))) void read_values(
    const unsigned char* base, const std::uint16_t* at, std::size_t count, const unsigned char* end,
    unsigned char* out) {
  const __m512i low_byte = _mm512_set1_epi64(0xFF);
  const __m512i minus = _mm512_set1_epi64(kMinusSign);
  const __m512i plus = _mm512_set1_epi64(kPlusSign);
  const __m512i zero = _mm512_set1_epi64('0');
  const __m512i tens_units = _mm512_set1_epi16(0x010A);         // bytes 10, 1
  const __m512i hundreds_ones = _mm512_set1_epi32(0x00010064);  // words 100, 1
  const __m128i big_endian = _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
  // Byte j of lane k: field k's offset in the window, plus j.
  const __m512i spread = _mm512_set_epi64(
      0x0707070707070707, 0x0606060606060606, 0x0505050505050505, 0x0404040404040404,
      0x0303030303030303, 0x0202020202020202, 0x0101010101010101, 0);
  const __m512i within = _mm512_set1_epi64(0x0706050403020100);
  std::size_t i = 0;
  for (; i + 8 <= count && base + at[i + 7] + 8 <= end; i += 8) {
    __m512i bytes;
    const unsigned char* window = base + at[i];
    if (at[i + 7] - at[i] <= 120 && window + 128 <= end) {
      // The eight fields lie within 128 bytes: one two-register byte permute takes the eight
      // bytes of each from there.
      const __m128i offsets =
          _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + i)),
                        _mm_set1_epi16(static_cast<short>(at[i])));
      const __m512i starts =
          _mm512_permutexvar_epi8(spread, _mm512_castsi128_si512(_mm_cvtepi16_epi8(offsets)));
      bytes = _mm512_permutex2var_epi8(_mm512_loadu_si512(window), _mm512_add_epi8(starts, within),
                                       _mm512_loadu_si512(window + 64));
    } else {
      bytes = _mm512_set_epi64(load8(base + at[i + 7]), load8(base + at[i + 6]),
                               load8(base + at[i + 5]), load8(base + at[i + 4]),
                               load8(base + at[i + 3]), load8(base + at[i + 2]),
                               load8(base + at[i + 1]), load8(base + at[i]));
    }
    const __m512i first = _mm512_and_si512(bytes, low_byte);
    const __mmask8 negative = _mm512_cmpeq_epi64_mask(first, minus);
    const __mmask8 sign = negative | _mm512_cmpeq_epi64_mask(first, plus);
    bytes = _mm512_mask_xor_epi64(bytes, sign, bytes, _mm512_xor_si512(first, zero));

    const __m512i digits = _mm512_sub_epi8(bytes, _mm512_set1_epi8('0'));
    const __m512i other = _mm512_movm_epi8(_mm512_cmpgt_epu8_mask(digits, _mm512_set1_epi8(9)));
    // Leading zeros of the lowest other byte's bits: 63 - 8 * (digits before it), 64 if none.
    const __m512i zeros = _mm512_lzcnt_epi64(
        _mm512_and_si512(other, _mm512_sub_epi64(_mm512_setzero_si512(), other)));
    const __mmask8 may_go_on = _mm512_cmpeq_epi64_mask(zeros, _mm512_set1_epi64(64));
    // Shifting by 64 - 8 * digits keeps just the digits; 64 leaves nothing.
    const __m512i top = _mm512_sllv_epi64(digits, _mm512_add_epi64(zeros, _mm512_set1_epi64(1)));
    const __m512i quads = _mm512_madd_epi16(_mm512_maddubs_epi16(top, tens_units), hundreds_ones);
    __m512i value = _mm512_add_epi64(_mm512_mul_epu32(quads, _mm512_set1_epi64(10000)),
                                     _mm512_srli_epi64(quads, 32));
    value = _mm512_mask_sub_epi64(value, negative, _mm512_setzero_si512(), value);
    const __m128i items = _mm_shuffle_epi8(_mm512_cvtepi64_epi16(value), big_endian);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), items);
    for (unsigned lanes = may_go_on; lanes != 0; lanes &= lanes - 1) {
      const std::size_t k = i + static_cast<std::size_t>(__builtin_ctz(lanes));
      store_item(field_value(base + at[k], end), out + 2 * k);
    }
  }
  portable::read_values(base, at + i, count - i, end, out + 2 * i);
}

}  // namespace mirtak::avx512
