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
#ifdef MIRTAK_X86_CLASSIFIERS
    case Path::kAvx2:
      return __builtin_cpu_supports("avx2") != 0;
    case Path::kAvx512:
      return __builtin_cpu_supports("avx512bw") != 0;
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

Classifier classifier_of(Path path) {
  switch (path) {
    case Path::kPlain:
      return nullptr;
    case Path::kPortable:
      return classify_portable;
#ifdef MIRTAK_X86_CLASSIFIERS
    case Path::kAvx2:
      return classify_avx2;
    case Path::kAvx512:
      return classify_avx512;
#else
    case Path::kAvx2:
    case Path::kAvx512:
      break;
#endif
  }
  return nullptr;
}

}  // namespace mirtak
