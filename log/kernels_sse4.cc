// The SSE4.2 kernels: 16 bytes at a time, for x86 processors with SSSE3, SSE4.1, SSE4.2 and
// POPCNT but no AVX2 (Atom-class Celeron and Pentium, older Core), under 64-bit and 32-bit
// builds alike. Each function is compiled for those instructions alone, so the rest of the
// program still runs on any x86.
#include <immintrin.h>

#include "log/fast_way.h"
#include "log/kernels.h"
#include "output/value_writer.h"

namespace mirtak::sse4 {

namespace {

// One bit per byte of v: bit i for byte i.
__attribute__((target("sse4.2"))) std::uint64_t bits_of(__m128i v) {
  return static_cast<unsigned>(_mm_movemask_epi8(v));  // 16 bits, zero above
}

__attribute__((target("sse4.2"))) __m128i equal(__m128i v, unsigned char c) {
  return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c)));
}

__attribute__((target("sse4.2"))) __m128i in_white_space_range(__m128i v) {
  const __m128i mask = _mm_set1_epi8(static_cast<char>(kWhiteSpaceRangeMask));
  return equal(_mm_and_si128(v, mask), kWhiteSpaceRangeBits);
}

// For a lane whose first `count` bytes are to move to its top: byte j takes byte j + count - 8,
// and the bytes below take nothing (an index with its top bit set reads as 0). Row `count` of
// each table, for the lower lane and for the upper one (its bytes 8 on: the top bit stays set).
struct ToTop {
  unsigned char lower[9][8];
  unsigned char upper[9][8];
};
constexpr ToTop to_top() {
  ToTop t{};
  for (int count = 0; count <= 8; ++count) {
    for (int j = 0; j < 8; ++j) {
      const int from = j + count - 8;
      const auto index = static_cast<unsigned char>(from < 0 ? 0x80 : from);
      t.lower[count][j] = index;
      t.upper[count][j] = static_cast<unsigned char>(index + 8);
    }
  }
  return t;
}
alignas(16) constexpr ToTop kToTop = to_top();

}  // namespace

bool runs_here() {
  // The compiler's own test of the processor; its result type differs between compilers.
  // NOLINTBEGIN(readability-implicit-bool-conversion)
  return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1") &&
         __builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("popcnt");
  // NOLINTEND(readability-implicit-bool-conversion)
}

// The separator, the newline and the white-space range in every chunk (a CR LF log has a byte of
// the range in every line); Ctrl-Z and "+" gathered into one mask, tested once, and told apart
// only in the chunks that have one.
__attribute__((target("sse4.2,popcnt"))) inline ByteClasses classes_of(const unsigned char* chunk) {
  ByteClasses c{0, 0, 0, 0, 0};
  std::uint64_t end_or_plus = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk + 16 * i));
    const std::size_t shift = 16 * i;
    c.separator |= bits_of(equal(v, kFieldSeparator)) << shift;
    c.newline |= bits_of(equal(v, kNewline)) << shift;
    c.white_space_range |= bits_of(in_white_space_range(v)) << shift;
    end_or_plus |= bits_of(_mm_or_si128(equal(v, kEndOfText), equal(v, kTerminatorMark))) << shift;
  }
  if (end_or_plus != 0) {
    for (std::size_t i = 0; i < 4; ++i) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk + 16 * i));
      const std::size_t shift = 16 * i;
      c.end_of_text |= bits_of(equal(v, kEndOfText)) << shift;
      c.plus |= bits_of(equal(v, kTerminatorMark)) << shift;
    }
  }
  return c;
}

// Two fields at a time, one in each 64-bit lane: their first eight bytes, less '0' each, a sign
// turned into a leading zero (a minus remembered). The digits before the first other byte are
// counted and moved to the top of the lane by a byte shuffle, so the bytes below act as leading
// zeros, and combined by multiply-adds into two numbers of four digits. A lane of eight digits
// may go on past them: its field is read again one character at a time.
struct TwoFields {
  __m128i halves;    // the first four digits of the eight, and the last four, in two dwords
  __m128i negative;  // all ones in a lane after a minus
  unsigned lengths;  // how many digits each lane has before another byte, 8 for all: bit 3
};

__attribute__((target("sse4.2,popcnt"))) inline TwoFields read_two(const unsigned char* base,
                                                                   const std::uint16_t* at) {
  const __m128i bytes = _mm_set_epi64x(load8(base + at[1]), load8(base + at[0]));
  const __m128i first_byte = _mm_set1_epi64x(0xFF);
  __m128i digits = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  const __m128i first = _mm_and_si128(digits, first_byte);
  const __m128i negative = _mm_cmpeq_epi64(first, _mm_set1_epi64x(less_zero(kMinusSign)));
  const __m128i sign =
      _mm_or_si128(negative, _mm_cmpeq_epi64(first, _mm_set1_epi64x(less_zero(kPlusSign))));
  digits = _mm_andnot_si128(_mm_and_si128(sign, first_byte), digits);
  const auto other = static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(digits, _mm_set1_epi8(10)), digits)));
  const auto count0 = static_cast<unsigned>(__builtin_ctz(other | 0x100u));
  const auto count1 = static_cast<unsigned>(__builtin_ctz((other >> 8) | 0x100u));
  const __m128i shuffle =
      _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kToTop.lower[count0])),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kToTop.upper[count1])));
  const __m128i top = _mm_shuffle_epi8(digits, shuffle);
  const __m128i halves = _mm_madd_epi16(_mm_maddubs_epi16(top, _mm_set1_epi16(kTensUnits)),
                                        _mm_set1_epi32(kHundredsOnes));
  return {halves, negative, count0 | count1 << 4};
}

// The values of the four fields at base + at[0..3], as items at out. The two halves of each two
// fields are packed into words side by side, so one multiply-add makes all four numbers (their
// low 16 bits are the values).
__attribute__((target("sse4.2,popcnt"), always_inline)) inline void read_four(
    const unsigned char* base, const std::uint16_t* at, const unsigned char* end,
    unsigned char* out) {
  const TwoFields a = read_two(base, at);
  const TwoFields b = read_two(base, at + 2);
  const __m128i numbers =
      _mm_madd_epi16(_mm_packus_epi32(a.halves, b.halves), _mm_set1_epi32(kTenThousandsOnes));
  const __m128i negative = _mm_packs_epi32(a.negative, b.negative);
  const __m128i values = _mm_sub_epi32(_mm_xor_si128(numbers, negative), negative);
  // Bytes 1, 0 of each dword, so each value comes out most significant byte first.
  const __m128i items = _mm_shuffle_epi8(
      values, _mm_setr_epi8(1, 0, 5, 4, 9, 8, 13, 12, -1, -1, -1, -1, -1, -1, -1, -1));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), items);
  // Only a lane of eight digits has bit 3 of its length set.
  const unsigned lengths = a.lengths | b.lengths << 8;
  if ((lengths & 0x8888u) == 0) return;
  unsigned lanes = 0;
  for (unsigned k = 0; k < 4; ++k)
    lanes |= (lengths >> (4 * k + 3) & 1u) << k;
  read_long_values(lanes, base, at, end, out);
}

// The values of the eight fields at first + at[0..7], four at a time.
__attribute__((target("sse4.2,popcnt"))) inline void read_eight(const unsigned char* first,
                                                                const std::uint16_t* at,
                                                                const unsigned char* end,
                                                                unsigned char* out) {
  read_four(first, at, end, out);
  read_four(first, at + 4, end, out + 4 * kItemSize);
}

// The masks are derived here too, and values counted with POPCNT. Each sixteen chunks' values
// are read from the list of their positions.
MIRTAK_SET_CONVERT(__attribute__((target("sse4.2,popcnt"), flatten)), classes_of, list_by_bits<>,
                   read_eight)

}  // namespace mirtak::sse4
