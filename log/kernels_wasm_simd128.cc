// The WebAssembly SIMD128 kernels: 16 bytes at a time, for the page's module (web/) when it is
// built with SIMD128. An engine that runs such a module has SIMD128 (one without it refuses the
// whole module), so they need no test at run time. The values are read by the portable kernel:
// SIMD128 has no per-lane shift to line a field's digits up, and the chunks are what the
// portable kernels spend most of their time on.
#include <wasm_simd128.h>

#include "log/kernels.h"
#include "log/line_reader.h"
#include "log/text_filter.h"

namespace mirtak::wasm_simd128 {

namespace {

v128_t equal(v128_t v, unsigned char c) {
  return wasm_i8x16_eq(v, wasm_u8x16_splat(c));
}

v128_t in_white_space_range(v128_t v) {
  return equal(wasm_v128_and(v, wasm_u8x16_splat(kWhiteSpaceRangeMask)), kWhiteSpaceRangeBits);
}

// The bit mask of a chunk (four vectors of 16 bytes) from the byte masks that `test` gives:
// bit i for byte i.
template <typename Test>
std::uint64_t bits_where(const v128_t (&bytes)[4], Test test) {
  std::uint64_t bits = 0;
  for (unsigned v = 0; v < 4; ++v)
    bits |= std::uint64_t{static_cast<std::uint16_t>(wasm_i8x16_bitmask(test(bytes[v])))}
            << (16 * v);
  return bits;
}

}  // namespace

bool runs_here() {
  return true;  // the module would not have been run without SIMD128
}

void map_chunks(const unsigned char* data, std::size_t chunks, MaskDeriver& deriver) {
  MaskDeriver local = deriver;  // kept in locals
  for (std::size_t k = 0; k < chunks; ++k, data += kChunkSize) {
    const v128_t bytes[4] = {wasm_v128_load(data), wasm_v128_load(data + 16),
                             wasm_v128_load(data + 32), wasm_v128_load(data + 48)};
    local.write_offsets(
        local.push({bits_where(bytes, [](v128_t v) { return equal(v, kFieldSeparator); }),
                    bits_where(bytes, [](v128_t v) { return equal(v, kNewline); }),
                    bits_where(bytes, in_white_space_range),
                    bits_where(bytes, [](v128_t v) { return equal(v, kEndOfText); }),
                    bits_where(bytes, [](v128_t v) { return equal(v, kTerminatorMark); })}));
  }
  deriver = local;
}

void read_values(const unsigned char* base, const std::uint16_t* at, std::size_t count,
                 const unsigned char* end, unsigned char* out) {
  portable::read_values(base, at, count, end, out);
}

}  // namespace mirtak::wasm_simd128
