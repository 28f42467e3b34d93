// The two steps of the fast way through data lines that depend on the machine's instructions:
//   - sorting 64 bytes at a time into the few classes that matter for its lines, one bit per
//     byte (bit i for byte i);
//   - reading the values of fields whose starts have been found, many at a time.
// Each set of kernels does the same with different instructions; the results are identical.
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

// Writes the value of each field starting at base + at[i] as item i of out (2 bytes each). The
// fields hold only digits and signs (or are a lone space: 0), and each one's line ends, with
// its newline, before end.
using ValueReader = void (*)(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                             const unsigned char* end, unsigned char* out);

struct Kernels {
  Classifier classify;
  ValueReader read_values;
};

// The value of one such field, up to eight digits at a time.
std::int16_t value_at(const unsigned char* p, const unsigned char* end);

// Eight bytes at a time in 64-bit words: runs on any machine.
void classify_portable(const unsigned char* data, std::size_t chunks, ByteClasses* out);
void read_values_portable(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                          const unsigned char* end, unsigned char* out);

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MIRTAK_X86_KERNELS 1
// Only to be called where the processor has the instructions (see log/paths.h).
void classify_avx2(const unsigned char* data, std::size_t chunks, ByteClasses* out);
void classify_avx512(const unsigned char* data, std::size_t chunks, ByteClasses* out);
void read_values_avx512(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                        const unsigned char* end, unsigned char* out);
#endif

}  // namespace mirtak
