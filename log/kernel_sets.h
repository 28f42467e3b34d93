// The ways through a log. The plain way reads every byte one at a time and takes any log; each
// kernel set converts ordinary data lines many bytes at a time (log/fast_lines.h) with the
// instructions of some processors, and hands every other line to the plain way. All give the
// same values; the first set in the table that the processor can run is used.
//
// Adding a set: its kernels in log/kernels_NAME.cc (declared in log/kernels.h), built where the
// compiler can target them (CMakeLists.txt defines MIRTAK_KERNELS_NAME), and one row here.
#pragma once

#include <iterator>

#include "log/kernels.h"

namespace mirtak {

struct KernelSet {
  const char* name;
  bool (*runs_here)();  // whether this processor (and its system) can run the set
  Kernels kernels;      // none for the plain way

  bool plain() const { return kernels.map_chunks == nullptr; }
};

inline bool runs_anywhere() {
  return true;
}

// Fastest first. The last row, the plain way, runs everywhere.
// clang-format off
inline constexpr KernelSet kKernelSets[] = {
//   name        can run here       kernels
#ifdef MIRTAK_KERNELS_AVX512
    {"avx512",   avx512::runs_here, {avx512::map_chunks}},
#endif
#ifdef MIRTAK_KERNELS_AVX2
    {"avx2",     avx2::runs_here,   {avx2::map_chunks}},
#endif
#ifdef MIRTAK_KERNELS_SSE4
    {"sse4",     sse4::runs_here,   {sse4::map_chunks}},
#endif
#ifdef MIRTAK_KERNELS_NEON
    {"neon",     neon::runs_here,   {neon::map_chunks}},
#endif
#ifdef MIRTAK_KERNELS_WASM_SIMD128
    {"wasm_simd128", wasm_simd128::runs_here, {wasm_simd128::map_chunks}},
#endif
    {"portable", runs_anywhere,     {portable::map_chunks}},
    {"plain",    runs_anywhere,     {}},
};
// clang-format on

inline constexpr const KernelSet& kPlainWay = kKernelSets[std::size(kKernelSets) - 1];

// The first set of the table that this processor can run.
const KernelSet& best_kernel_set();

}  // namespace mirtak
