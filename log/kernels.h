// The steps of the fast way through data lines that depend on the machine's instructions:
//   - mapping chunks: classifying 64 bytes at a time into the few classes that matter for its
//     lines, one bit per byte (bit i for byte i), and deriving from them the masks of
//     log/chunk_masks.h, with the set's own instructions;
//   - reading the values of fields whose starts have been found, many at a time.
// Each kernel set does the same with other instructions, and all give identical results;
// log/kernel_sets.h lists them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "log/byte_rules.h"
#include "log/chunk_masks.h"
#include "log/field_splitter.h"
#include "log/number.h"

namespace mirtak {

// Classifies `chunks` chunks of 64 bytes each, hands their classes to the deriver in order, and
// writes the offsets of the values each has (MaskDeriver::push says how).
using MapChunks = void(const unsigned char* data, std::size_t chunks, MaskDeriver& deriver);

// Writes the value of each field starting at base + at[i] as item i of out (2 bytes each). Each
// field starts with a sign, a digit, other text that reads as 0, or a lone space (the field of
// trailing spaces, 0); never with other white space. Each one's line ends, with its newline,
// before end.
using ReadValues = void(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                        const unsigned char* end, unsigned char* out);

struct Kernels {
  MapChunks* map_chunks;
  ReadValues* read_values;
};

// The eight bytes at p as they lie in memory, for a vector lane.
inline long long load8(const unsigned char* p) {
  long long word = 0;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The value of the field at p, one character at a time up to the field's end: for the fields
// whose digits run on past what a kernel reads at once.
inline std::int16_t field_value(const unsigned char* p, const unsigned char* end) {
  Number number;
  while (p != end && *p != kFieldSeparator && number.take(*p))
    ++p;
  return number.value();
}

// The kernel sets, each in its own file. A set may borrow kernels of another.

namespace portable {  // 64-bit words: any processor
MapChunks map_chunks;
ReadValues read_values;
}  // namespace portable

namespace avx2 {  // x86 with AVX2 (and BMI1, POPCNT)
bool runs_here();
MapChunks map_chunks;
ReadValues read_values;
}  // namespace avx2

namespace avx512 {  // x86 with AVX-512 (F, BW, CD, DQ, VL, VBMI, VBMI2; BMI1, POPCNT)
bool runs_here();
MapChunks map_chunks;
ReadValues read_values;
}  // namespace avx512

namespace sse4 {  // x86 with SSSE3, SSE4.1, SSE4.2 and POPCNT (x86-64-v2), 64-bit or 32-bit
bool runs_here();
MapChunks map_chunks;
ReadValues read_values;
}  // namespace sse4

namespace neon {  // aarch64 (Advanced SIMD); the positions are the portable kernel's
bool runs_here();
MapChunks map_chunks;
ReadValues read_values;
}  // namespace neon

namespace wasm_simd128 {  // WebAssembly with SIMD128 (the page's module); values: portable
bool runs_here();
MapChunks map_chunks;
ReadValues read_values;
}  // namespace wasm_simd128

}  // namespace mirtak
