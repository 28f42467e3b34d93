// The AVX2 kernels: 32 bytes at a time, for x86-64 processors that have AVX2. Each function is
// compiled for those instructions alone, so the rest of the program still runs on any x86-64.
#include <immintrin.h>

#include "log/kernels.h"
#include "log/line_reader.h"
#include "log/text_filter.h"

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
  return __builtin_cpu_supports("avx2");  // NOLINT(readability-implicit-bool-conversion)
}

__attribute__((target("avx2"))) void classify(const unsigned char* data, std::size_t chunks,
                                              ByteClasses* out) {
  for (std::size_t k = 0; k < chunks; ++k, data += kChunkSize) {
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32));
    out[k].separator = bits_of(equal(lo, kFieldSeparator), equal(hi, kFieldSeparator));
    out[k].newline = bits_of(equal(lo, kNewline), equal(hi, kNewline));
    out[k].white_space_range = bits_of(in_white_space_range(lo), in_white_space_range(hi));
    out[k].end_of_text = bits_of(equal(lo, kEndOfText), equal(hi, kEndOfText));
    out[k].plus = bits_of(equal(lo, kTerminatorMark), equal(hi, kTerminatorMark));
  }
}

}  // namespace mirtak::avx2
