// The ways through a log, fastest first, each with the processors it is built for: the one list
// of them. The build (CMakeLists.txt) reads these lines to compile log/kernels_NAME.cc for each
// set its target can hold, and tells the code which it compiled (MIRTAK_BUILT_NAME, 1 or 0); the
// code takes the same lines to declare each set (log/kernels.h) and to make the table
// (log/kernel_sets.h). The first set in the table that the processor can run is used.
//
// Processors: x86 (64-bit and 32-bit), aarch64, wasm32 (the page's module, with SIMD128), or any.
// This file is read as a list: it has no include guard.
MIRTAK_KERNEL_SET(avx512, x86)
MIRTAK_KERNEL_SET(avx2, x86)
MIRTAK_KERNEL_SET(sse4, x86)
MIRTAK_KERNEL_SET(neon, aarch64)
MIRTAK_KERNEL_SET(wasm_simd128, wasm32)
MIRTAK_KERNEL_SET(portable, any)
MIRTAK_KERNEL_SET(plain, any)
