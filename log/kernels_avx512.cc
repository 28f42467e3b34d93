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

// Eight fields at a time, one in each 64-bit lane: their first eight bytes, a sign turned into a
// leading zero (a minus remembered). The digits before the first other byte are moved to the top
// of the lane, so the bytes below act as leading zeros, and combined by multiply-adds into the
// number, negated after a minus and cut to its low 16 bits. Also says which lanes are all
// digits: those fields may go on past the eight bytes.
struct EightValues {
  __m128i items;  // big-endian
  __mmask8 may_go_on;
};

__attribute__((target("avx512bw,avx512cd,avx512dq,avx512vl"), always_inline)) inline EightValues
read_eight(__m512i bytes) {
  const __m512i first = _mm512_and_si512(bytes, _mm512_set1_epi64(0xFF));
  const __mmask8 negative = _mm512_cmpeq_epi64_mask(first, _mm512_set1_epi64(kMinusSign));
  const __mmask8 sign = negative | _mm512_cmpeq_epi64_mask(first, _mm512_set1_epi64(kPlusSign));
  bytes =
      _mm512_mask_xor_epi64(bytes, sign, bytes, _mm512_xor_si512(first, _mm512_set1_epi64('0')));

  const __m512i digits = _mm512_sub_epi8(bytes, _mm512_set1_epi8('0'));
  const __m512i other = _mm512_movm_epi8(_mm512_cmpgt_epu8_mask(digits, _mm512_set1_epi8(9)));
  // Leading zeros of the lowest other byte's bits: 63 - 8 * (digits before it), 64 if none.
  const __m512i zeros =
      _mm512_lzcnt_epi64(_mm512_and_si512(other, _mm512_sub_epi64(_mm512_setzero_si512(), other)));
  const __mmask8 may_go_on = _mm512_cmpeq_epi64_mask(zeros, _mm512_set1_epi64(64));
  // Shifting by 64 - 8 * digits keeps just the digits; 64 leaves nothing.
  const __m512i top = _mm512_sllv_epi64(digits, _mm512_add_epi64(zeros, _mm512_set1_epi64(1)));
  const __m512i quads = _mm512_madd_epi16(_mm512_maddubs_epi16(top, _mm512_set1_epi16(0x010A)),
                                          _mm512_set1_epi32(0x00010064));  // 10, 1; 100, 1
  __m512i value = _mm512_add_epi64(_mm512_mul_epu32(quads, _mm512_set1_epi64(10000)),
                                   _mm512_srli_epi64(quads, 32));
  value = _mm512_mask_sub_epi64(value, negative, _mm512_setzero_si512(), value);
  const __m128i big_endian = _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
  return {_mm_shuffle_epi8(_mm512_cvtepi64_epi16(value), big_endian), may_go_on};
}

// The masks are derived here too, so with BMI's and-not. A chunk's values are read from the chunk
// and the 64 bytes after it, eight at a time: one compress packs their byte numbers together,
// and one two-register byte permute takes each field's first eight bytes into a lane.
__attribute__((target("avx512bw,avx512cd,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,bmi,popcnt")))
std::size_t
map_chunks(const unsigned char* data, std::size_t chunks, const unsigned char* end,
           MaskDeriver& deriver, unsigned char* items) {
  static constexpr unsigned char kByteNumbers[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  const __m512i numbers = _mm512_loadu_si512(kByteNumbers);
  const __m512i range_mask = _mm512_set1_epi8(static_cast<char>(kWhiteSpaceRangeMask));
  // Byte j of lane k: the k-th byte number, then k + 8 for the next eight values ...
  const __m512i spread = _mm512_set_epi64(
      0x0707070707070707, 0x0606060606060606, 0x0505050505050505, 0x0404040404040404,
      0x0303030303030303, 0x0202020202020202, 0x0101010101010101, 0);
  const __m512i next_eight = _mm512_set1_epi8(8);
  // ... plus j.
  const __m512i within = _mm512_set1_epi64(0x0706050403020100);
  MaskDeriver local = deriver;  // kept in registers
  std::size_t k = 0;
  while (k < chunks) {
    const __m512i v = _mm512_loadu_si512(data);
    const __m512i after = _mm512_loadu_si512(data + kChunkSize);
    const std::uint64_t values =
        local.push({equal(v, kFieldSeparator), equal(v, kNewline),
                    equal(_mm512_and_si512(v, range_mask), kWhiteSpaceRangeBits),
                    equal(v, kEndOfText), equal(v, kTerminatorMark)});
    const __m512i packed = _mm512_maskz_compress_epi8(values, numbers);
    const auto found = static_cast<std::size_t>(__builtin_popcountll(values));
    __m512i lanes = spread;
    for (std::size_t i = 0; i < found; i += 8, lanes = _mm512_add_epi8(lanes, next_eight)) {
      const __m512i starts = _mm512_permutexvar_epi8(lanes, packed);
      const EightValues eight =
          read_eight(_mm512_permutex2var_epi8(v, _mm512_add_epi8(starts, within), after));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(items + 2 * i), eight.items);
      if (eight.may_go_on != 0) {
        unsigned char at[kChunkSize];
        _mm512_storeu_si512(at, packed);
        for (unsigned long_ones = eight.may_go_on; long_ones != 0; long_ones &= long_ones - 1) {
          const std::size_t lane = i + static_cast<std::size_t>(__builtin_ctz(long_ones));
          store_item(field_value(data + at[lane], end), items + 2 * lane);
        }
      }
    }
    local.values_read(found);
    items += 2 * found;
    ++k;
    data += kChunkSize;
    if (local.plain_found()) break;
  }
  deriver = local;
  return k;
}

}  // namespace mirtak::avx512
