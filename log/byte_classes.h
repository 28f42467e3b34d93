// The fast way through a log looks at 64 bytes at a time and sorts them into the few classes
// that matter for its lines, one bit per byte (bit i for byte i). Each classifier does the same
// sorting with different machine instructions; the results are identical.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirtak {

inline constexpr std::size_t kChunkSize = 64;

struct ByteClasses {
  std::uint64_t space;            // 0x20, the field separator
  std::uint64_t newline;          // 0x0A
  std::uint64_t carriage_return;  // 0x0D
  std::uint64_t end_of_text;      // Ctrl-Z, 0x1A
  std::uint64_t number;           // a digit or a sign: what a value is written with
};

// Sorts `chunks` chunks of 64 bytes each into out[0 .. chunks-1].
using Classifier = void (*)(const unsigned char* data, std::size_t chunks, ByteClasses* out);

// Eight bytes at a time in 64-bit words: runs on any machine.
void classify_portable(const unsigned char* data, std::size_t chunks, ByteClasses* out);

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MIRTAK_X86_CLASSIFIERS 1
// Only to be called where the processor has the instructions (see log/paths.h).
void classify_avx2(const unsigned char* data, std::size_t chunks, ByteClasses* out);
void classify_avx512(const unsigned char* data, std::size_t chunks, ByteClasses* out);
#endif

}  // namespace mirtak
