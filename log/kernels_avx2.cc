// The AVX2 kernels: 32 bytes at a time, for x86-64 processors that have AVX2. Each function is
// compiled for those instructions alone, so the rest of the program still runs on any x86-64.
#include <immintrin.h>

#include "log/fast_way.h"
#include "log/kernels.h"
#include "output/value_writer.h"

namespace mirtak::avx2 {

namespace {

__attribute__((target("avx2"))) std::uint64_t bits_of(__m256i low, __m256i high) {
  const auto lo = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
  const auto hi = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
  return lo | (std::uint64_t{hi} << 32);
}

__attribute__((target("avx2"))) __m256i equal(__m256i v, unsigned char c) {
  return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(c)));
}

__attribute__((target("avx2"))) __m256i in_white_space_range(__m256i v) {
  const __m256i mask = _mm256_set1_epi8(static_cast<char>(kWhiteSpaceRangeMask));
  return equal(_mm256_and_si256(v, mask), kWhiteSpaceRangeBits);
}

}  // namespace

bool runs_here() {
  // The compiler's own test of the processor (and of the system's support for its registers);
  // its result type differs between compilers.
  // NOLINTNEXTLINE(readability-implicit-bool-conversion)
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("popcnt");
}

// Each byte of v, moved one place down; the byte after it comes from the start of next.
__attribute__((target("avx2"))) __m256i next_bytes(__m256i v, __m256i next) {
  return _mm256_alignr_epi8(_mm256_permute2x128_si256(v, next, 0x21), v, 1);
}

// The separator and the newline in every chunk. The rarer classes (the white-space range,
// Ctrl-Z, "+") are gathered into one vector and tested once: only where it holds a byte that the
// masks use (a byte of the range that is neither a newline nor right before one, so not the CR
// of a CR LF line; any Ctrl-Z or "+") are the three worked out one by one.
__attribute__((target("avx2"))) inline ByteClasses classes_of(const unsigned char* chunk) {
  const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunk));
  const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunk + 32));
  const __m256i newline_lo = equal(lo, kNewline);
  const __m256i newline_hi = equal(hi, kNewline);
  // A line's end: its newline or the byte right before it. The chunk's last byte is never taken
  // as one.
  const __m256i line_end_lo = _mm256_or_si256(newline_lo, next_bytes(newline_lo, newline_hi));
  const __m256i line_end_hi =
      _mm256_or_si256(newline_hi, next_bytes(newline_hi, _mm256_setzero_si256()));
  const __m256i rare = _mm256_or_si256(
      _mm256_or_si256(_mm256_andnot_si256(line_end_lo, in_white_space_range(lo)),
                      _mm256_andnot_si256(line_end_hi, in_white_space_range(hi))),
      _mm256_or_si256(_mm256_or_si256(equal(lo, kEndOfText), equal(hi, kEndOfText)),
                      _mm256_or_si256(equal(lo, kTerminatorMark), equal(hi, kTerminatorMark))));
  ByteClasses c{bits_of(equal(lo, kFieldSeparator), equal(hi, kFieldSeparator)),
                bits_of(newline_lo, newline_hi), 0, 0, 0};
  if (_mm256_testz_si256(rare, rare) == 0) {
    c.white_space_range = bits_of(in_white_space_range(lo), in_white_space_range(hi));
    c.end_of_text = bits_of(equal(lo, kEndOfText), equal(hi, kEndOfText));
    c.plus = bits_of(equal(lo, kTerminatorMark), equal(hi, kTerminatorMark));
  }
  return c;
}

// Four fields at a time, one in each 64-bit lane: their first eight bytes, less '0' each, a
// sign turned into a leading zero (a minus remembered). The digits before the first other byte
// are moved to the top of the lane, so the bytes below act as leading zeros, and combined by
// multiply-adds into two numbers of four digits. Also says which lanes are all digits: those
// fields may go on past the eight bytes and are read again one character at a time.
struct FourFields {
  __m256i halves;     // the first four digits of the eight, and the last four, in two dwords
  __m256i negative;   // all ones in a lane after a minus
  __m256i may_go_on;  // all ones in such a lane
};

__attribute__((target("avx2"))) inline FourFields read_four(const unsigned char* base,
                                                            const std::uint16_t* at) {
  const __m256i bytes = _mm256_set_epi64x(load8(base + at[3]), load8(base + at[2]),
                                          load8(base + at[1]), load8(base + at[0]));
  const __m256i first_byte = _mm256_set1_epi64x(0xFF);
  __m256i digits = _mm256_sub_epi8(bytes, _mm256_set1_epi8('0'));
  const __m256i first = _mm256_and_si256(digits, first_byte);
  const __m256i negative = _mm256_cmpeq_epi64(first, _mm256_set1_epi64x(less_zero(kMinusSign)));
  const __m256i sign = _mm256_or_si256(
      negative, _mm256_cmpeq_epi64(first, _mm256_set1_epi64x(less_zero(kPlusSign))));
  digits = _mm256_andnot_si256(_mm256_and_si256(sign, first_byte), digits);
  const __m256i other = _mm256_cmpeq_epi8(_mm256_max_epu8(digits, _mm256_set1_epi8(10)), digits);
  // Every bit of the digits before the first other byte; shifting by 8 for each byte from that
  // one on keeps just the digits (64 leaves nothing).
  const __m256i before = _mm256_andnot_si256(other, _mm256_sub_epi64(other, _mm256_set1_epi64x(1)));
  const __m256i shift =
      _mm256_sad_epu8(_mm256_andnot_si256(before, _mm256_set1_epi8(8)), _mm256_setzero_si256());
  const __m256i top = _mm256_sllv_epi64(digits, shift);
  const __m256i halves = _mm256_madd_epi16(_mm256_maddubs_epi16(top, _mm256_set1_epi16(kTensUnits)),
                                           _mm256_set1_epi32(kHundredsOnes));
  return {halves, negative, _mm256_cmpeq_epi64(other, _mm256_setzero_si256())};
}

// The values of the eight fields at base + at[0..7], as items at out. The two halves of each
// four fields are packed into words side by side, so one multiply-add makes all eight numbers
// (each 128-bit lane: fields 0, 1 of the first four, then 0, 1 of the second; their low 16
// bits are the values).
__attribute__((target("avx2"))) inline void read_eight(const unsigned char* base,
                                                       const std::uint16_t* at,
                                                       const unsigned char* end,
                                                       unsigned char* out) {
  const FourFields a = read_four(base, at);
  const FourFields b = read_four(base, at + 4);
  const __m256i numbers = _mm256_madd_epi16(_mm256_packus_epi32(a.halves, b.halves),
                                            _mm256_set1_epi32(kTenThousandsOnes));
  const __m256i negative = _mm256_packs_epi32(a.negative, b.negative);
  const __m256i values = _mm256_sub_epi32(_mm256_xor_si256(numbers, negative), negative);
  // Bytes 1, 0 of each dword, so each value comes out most significant byte first; then the
  // lanes' first halves in order.
  const __m256i items_in_lanes =
      _mm256_setr_epi8(1, 0, 5, 4, 9, 8, 13, 12, -1, -1, -1, -1, -1, -1, -1, -1, 1, 0, 5, 4, 9, 8,
                       13, 12, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i items = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(values, items_in_lanes),
                                                    _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(items));
  const __m256i go_on = _mm256_or_si256(a.may_go_on, b.may_go_on);
  if (_mm256_testz_si256(go_on, go_on) == 0) {
    const auto lanes_a =
        static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(a.may_go_on)));
    const auto lanes_b =
        static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(b.may_go_on)));
    read_long_values(lanes_a | lanes_b << 4, base, at, end, out);
  }
}

// The position of the lowest set bit by BMI's tzcnt, whose answer for none (64) is as good as any.
// A 32-bit build has only the 32-bit instruction, so it looks at the word's halves in turn.
__attribute__((target("bmi"))) inline unsigned lowest_bit(std::uint64_t bits) {
#if defined(__x86_64__)
  return static_cast<unsigned>(_tzcnt_u64(bits));
#else
  const auto low = static_cast<std::uint32_t>(bits);
  return low != 0 ? _tzcnt_u32(low) : 32 + _tzcnt_u32(static_cast<std::uint32_t>(bits >> 32));
#endif
}

__attribute__((target("bmi,popcnt"))) inline std::uint16_t* list_fields(std::uint16_t* at,
                                                                        std::uint64_t values,
                                                                        unsigned offset) {
  return list_by_bits<lowest_bit>(at, values, offset);
}

// The masks are derived here too, so with BMI's and-not. Each sixteen chunks' values are read
// eight at a time from the list of their positions.
MIRTAK_SET_CONVERT(__attribute__((target("avx2,bmi,popcnt"), flatten)), classes_of, list_fields,
                   read_eight)

}  // namespace mirtak::avx2
