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
  std::uint64_t blank;            // 0x08..0x0F: tab, vertical tab, form feed and their neighbours
};

// Sorts `chunks` chunks of 64 bytes each into out[0 .. chunks-1].
using Classifier = void (*)(const unsigned char* data, std::size_t chunks, ByteClasses* out);

// Writes the value of each field starting at base + at[i] as item i of out (2 bytes each). No
// field starts with white space other than a lone space (which reads as 0), and each one's line
// ends, with its newline, before end.
using ValueReader = void (*)(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                             const unsigned char* end, unsigned char* out);

// Writes the positions of the set bits in [from, to) of the bit string `bits` to out, in order,
// and returns how many there are. Writes up to 64 entries past the last one.
using PositionFinder = std::size_t (*)(const std::uint64_t* bits, std::size_t from, std::size_t to,
                                       std::uint16_t* out);
inline constexpr std::size_t kPositionSlack = 64;

struct Kernels {
  Classifier classify;
  PositionFinder find_positions;
  ValueReader read_values;
};

// Word k of the bit string, keeping only the bits in [from, to).
inline std::uint64_t bits_in_range(const std::uint64_t* bits, std::size_t k, std::size_t from,
                                   std::size_t to) {
  std::uint64_t word = bits[k];
  if (k == from / 64) word &= ~std::uint64_t{0} << (from % 64);
  if ((k + 1) * 64 > to) word &= ~(~std::uint64_t{0} << (to % 64));
  return word;
}

// The value of one such field, up to eight digits at a time.
std::int16_t value_at(const unsigned char* p, const unsigned char* end);

// Eight bytes at a time in 64-bit words: runs on any machine.
void classify_portable(const unsigned char* data, std::size_t chunks, ByteClasses* out);
std::size_t find_positions_portable(const std::uint64_t* bits, std::size_t from, std::size_t to,
                                    std::uint16_t* out);
void read_values_portable(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                          const unsigned char* end, unsigned char* out);

// Not on Windows: there GCC does not keep the stack aligned for spilled vector registers.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define MIRTAK_X86_KERNELS 1
// Only to be called where the processor has the instructions (see log/paths.h).
void classify_avx2(const unsigned char* data, std::size_t chunks, ByteClasses* out);
void classify_avx512(const unsigned char* data, std::size_t chunks, ByteClasses* out);
std::size_t find_positions_avx512(const std::uint64_t* bits, std::size_t from, std::size_t to,
                                  std::uint16_t* out);
void read_values_avx512(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                        const unsigned char* end, unsigned char* out);
#endif

}  // namespace mirtak
