#include "log/paths.h"

namespace mirtak {

const char* path_name(Path path) {
  switch (path) {
    case Path::kPlain:
      return "plain";
    case Path::kPortable:
      return "portable";
    case Path::kAvx2:
      return "avx2";
    case Path::kAvx512:
      return "avx512";
  }
  return "unknown";
}

bool path_available(Path path) {
  switch (path) {
    case Path::kPlain:
    case Path::kPortable:
      return true;
#ifdef MIRTAK_X86_KERNELS
    // The compiler's own test of the processor (and of the system's support for its registers);
    // its result type differs between compilers.
    // NOLINTBEGIN(readability-implicit-bool-conversion)
    case Path::kAvx2:
      return __builtin_cpu_supports("avx2");
    case Path::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
             __builtin_cpu_supports("avx512vbmi2");
      // NOLINTEND(readability-implicit-bool-conversion)
#else
    case Path::kAvx2:
    case Path::kAvx512:
      return false;
#endif
  }
  return false;
}

Path best_path() {
  Path best = Path::kPlain;
  for (const Path path : kAllPaths) {
    if (path_available(path)) best = path;
  }
  return best;
}

const Kernels* kernels_of(Path path) {
  static constexpr Kernels kPortable = {classify_portable, find_positions_portable,
                                        read_values_portable};
#ifdef MIRTAK_X86_KERNELS
  static constexpr Kernels kAvx2 = {classify_avx2, find_positions_portable, read_values_portable};
  static constexpr Kernels kAvx512 = {classify_avx512, find_positions_avx512, read_values_avx512};
#endif
  switch (path) {
    case Path::kPlain:
      return nullptr;
    case Path::kPortable:
      return &kPortable;
#ifdef MIRTAK_X86_KERNELS
    case Path::kAvx2:
      return &kAvx2;
    case Path::kAvx512:
      return &kAvx512;
#else
    case Path::kAvx2:
    case Path::kAvx512:
      break;
#endif
  }
  return nullptr;
}

}  // namespace mirtak
