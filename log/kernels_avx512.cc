// The AVX-512 kernels: 64 bytes at a time, for x86-64 processors with AVX-512 (F, BW, CD, DQ,
// VL) and VBMI and VBMI2. Each function is compiled for those instructions alone, so the rest of
// the program still runs on any x86-64.
#include <immintrin.h>

#include "log/fast_way.h"
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

__attribute__((target("avx512bw,avx512cd,avx512dq,avx512vl,avx512vbmi"),
               always_inline)) inline EightValues
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
  const __m512i quads = _mm512_madd_epi16(_mm512_maddubs_epi16(top, _mm512_set1_epi16(kTensUnits)),
                                          _mm512_set1_epi32(kHundredsOnes));
  __m512i value = _mm512_add_epi64(_mm512_mul_epu32(quads, _mm512_set1_epi64(kTenThousand)),
                                   _mm512_srli_epi64(quads, 32));
  value = _mm512_mask_sub_epi64(value, negative, _mm512_setzero_si512(), value);
  // Bytes 1 and 0 of each lane, in lane order: the items, most significant byte first.
  const __m512i items = _mm512_castsi128_si512(
      _mm_setr_epi8(1, 0, 9, 8, 17, 16, 25, 24, 33, 32, 41, 40, 49, 48, 57, 56));
  return {_mm512_castsi512_si128(_mm512_permutexvar_epi8(items, value)), may_go_on};
}

// The values of the eight fields at first + at[0..7], as items at out. Where the eight lie
// within 128 bytes of the block, one two-register byte permute takes each one's first eight
// bytes into a lane.
__attribute__((target("avx512bw,avx512cd,avx512dq,avx512vl,avx512vbmi"))) inline void read_fields(
    const unsigned char* first, const std::uint16_t* at, const unsigned char* end,
    unsigned char* out) {
  // Byte j of lane k: field k's offset in the window, plus j.
  const __m512i spread = _mm512_set_epi64(
      0x0707070707070707, 0x0606060606060606, 0x0505050505050505, 0x0404040404040404,
      0x0303030303030303, 0x0202020202020202, 0x0101010101010101, 0);
  const __m512i within = _mm512_set1_epi64(0x0706050403020100);
  __m512i bytes;
  const unsigned char* window = first + at[0];
  if (at[7] - at[0] <= 120 && window + 128 <= end) {
    const __m128i offsets = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)),
                                          _mm_set1_epi16(static_cast<short>(at[0])));
    const __m512i starts =
        _mm512_permutexvar_epi8(spread, _mm512_castsi128_si512(_mm_cvtepi16_epi8(offsets)));
    bytes = _mm512_permutex2var_epi8(_mm512_loadu_si512(window), _mm512_add_epi8(starts, within),
                                     _mm512_loadu_si512(window + 64));
  } else {
    bytes = _mm512_set_epi64(load8(first + at[7]), load8(first + at[6]), load8(first + at[5]),
                             load8(first + at[4]), load8(first + at[3]), load8(first + at[2]),
                             load8(first + at[1]), load8(first + at[0]));
  }
  const EightValues eight = read_eight(bytes);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), eight.items);
  read_long_values(eight.may_go_on, first, at, end, out);
}

__attribute__((target("avx512bw"))) inline ByteClasses classes_of(const unsigned char* chunk) {
  const __m512i v = _mm512_loadu_si512(chunk);
  const __m512i range_mask = _mm512_set1_epi8(static_cast<char>(kWhiteSpaceRangeMask));
  return {equal(v, kFieldSeparator), equal(v, kNewline),
          equal(_mm512_and_si512(v, range_mask), kWhiteSpaceRangeBits), equal(v, kEndOfText),
          equal(v, kTerminatorMark)};
}

// The positions of a chunk's values are its byte numbers, packed together by one compress.
__attribute__((target("avx512bw,avx512vbmi2,popcnt"))) inline std::uint16_t* list_by_compress(
    std::uint16_t* at, std::uint64_t values, unsigned offset) {
  static constexpr unsigned char kByteNumbers[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  const __m512i packed = _mm512_maskz_compress_epi8(values, _mm512_loadu_si512(kByteNumbers));
  const __m512i base = _mm512_set1_epi16(static_cast<short>(offset));
  _mm512_storeu_si512(at,
                      _mm512_add_epi16(_mm512_cvtepu8_epi16(_mm512_castsi512_si256(packed)), base));
  // More than 32 values in 64 bytes takes a line of one-digit fields ending in a space.
  const auto found = static_cast<std::size_t>(__builtin_popcountll(values));
  if (found > 32) {
    _mm512_storeu_si512(
        at + 32,
        _mm512_add_epi16(_mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(packed, 1)), base));
  }
  return at + found;
}

// The masks are derived here too, so with BMI's and-not. Each sixteen chunks' values are read
// eight at a time from the list of their positions.
MIRTAK_SET_CONVERT(
    __attribute__((target("avx512bw,avx512cd,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,bmi,popcnt"),
                   flatten)),
    classes_of, list_by_compress, read_fields)

}  // namespace mirtak::avx512
