// The table of the ways through a log, made from their one list (log/kernel_set_list.h): the
// sets this build holds, fastest first, the plain way last. All give the same values; the first
// that the processor can run is used.
//
// Adding a set: its steps in log/kernels_NAME.cc (with `runs_here` and `convert`, which is
// convert_fast of log/fast_way.h), and one line in the list.
#pragma once

#include <iterator>

#include "log/kernels.h"

namespace mirtak {

struct KernelSet {
  const char* name;
  bool (*runs_here)();  // whether this processor (and its system) can run the set
  Convert* convert;
};

// A row for each set the build compiled (MIRTAK_BUILT_NAME is 1), none for the others.
#define MIRTAK_KERNEL_ROW_1(name) {#name, name::runs_here, name::convert},
#define MIRTAK_KERNEL_ROW_0(name)
#define MIRTAK_KERNEL_ROW(built, name) MIRTAK_KERNEL_ROW_##built(name)
#define MIRTAK_KERNEL_ROW_IF(built, name) MIRTAK_KERNEL_ROW(built, name)
#define MIRTAK_KERNEL_SET(name, processors) MIRTAK_KERNEL_ROW_IF(MIRTAK_BUILT_##name, name)
inline constexpr KernelSet kKernelSets[] = {
#include "log/kernel_set_list.h"
};
#undef MIRTAK_KERNEL_SET
#undef MIRTAK_KERNEL_ROW_IF
#undef MIRTAK_KERNEL_ROW
#undef MIRTAK_KERNEL_ROW_0
#undef MIRTAK_KERNEL_ROW_1

// The plain way, the definition every other set is checked against: the last row.
inline constexpr const KernelSet& kPlainWay = kKernelSets[std::size(kKernelSets) - 1];

// The first set of the table that this processor can run.
const KernelSet& best_kernel_set();

}  // namespace mirtak
