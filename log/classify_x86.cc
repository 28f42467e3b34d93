// The classifiers for x86-64 processors with wide vector registers. They are compiled for those
// instructions function by function, so the rest of the program still runs on any x86-64.
#include "log/byte_classes.h"

#ifdef MIRTAK_X86_CLASSIFIERS

#include <immintrin.h>

namespace mirtak {

namespace {

__attribute__((target("avx2"))) std::uint64_t bits_of(__m256i low, __m256i high) {
  const auto lo = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
  const auto hi = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
  return lo | (std::uint64_t{hi} << 32);
}

__attribute__((target("avx2"))) __m256i equal(__m256i v, char c) {
  return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c));
}

__attribute__((target("avx2"))) __m256i number(__m256i v) {
  const __m256i digit = _mm256_cmpeq_epi8(
      _mm256_min_epu8(_mm256_max_epu8(v, _mm256_set1_epi8('0')), _mm256_set1_epi8('9')), v);
  return _mm256_or_si256(digit, _mm256_or_si256(equal(v, '+'), equal(v, '-')));
}

__attribute__((target("avx512bw"))) std::uint64_t equal(__m512i v, char c) {
  return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(c));
}

}  // namespace

__attribute__((target("avx2"))) void classify_avx2(const unsigned char* data, std::size_t chunks,
                                                   ByteClasses* out) {
  for (std::size_t k = 0; k < chunks; ++k, data += kChunkSize) {
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32));
    out[k].space = bits_of(equal(lo, ' '), equal(hi, ' '));
    out[k].newline = bits_of(equal(lo, '\n'), equal(hi, '\n'));
    out[k].carriage_return = bits_of(equal(lo, '\r'), equal(hi, '\r'));
    out[k].end_of_text = bits_of(equal(lo, 0x1A), equal(hi, 0x1A));
    out[k].number = bits_of(number(lo), number(hi));
  }
}

__attribute__((target("avx512bw"))) void classify_avx512(const unsigned char* data,
                                                         std::size_t chunks, ByteClasses* out) {
  for (std::size_t k = 0; k < chunks; ++k, data += kChunkSize) {
    const __m512i v = _mm512_loadu_si512(data);
    const __mmask64 digit =
        _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8('0')), _mm512_set1_epi8(9));
    out[k].space = equal(v, ' ');
    out[k].newline = equal(v, '\n');
    out[k].carriage_return = equal(v, '\r');
    out[k].end_of_text = equal(v, 0x1A);
    out[k].number = digit | equal(v, '+') | equal(v, '-');
  }
}

}  // namespace mirtak

#endif
