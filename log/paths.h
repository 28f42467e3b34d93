// The ways through a log. The plain way reads every byte one at a time and takes any log; the
// fast ways convert ordinary data lines many bytes at a time and hand every other line to the
// plain way. All give the same values; the fastest the processor can run is used.
#pragma once

#include "log/kernels.h"

namespace mirtak {

enum class Path : unsigned char { kPlain, kPortable, kAvx2, kAvx512 };

inline constexpr Path kAllPaths[] = {Path::kPlain, Path::kPortable, Path::kAvx2, Path::kAvx512};

const char* path_name(Path path);

// Whether this processor can take the path.
bool path_available(Path path);

// The fastest path available here.
Path best_path();

// The kernels of a fast path; nullptr for the plain path, which has none.
const Kernels* kernels_of(Path path);

}  // namespace mirtak
