#include "log/kernel_sets.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace mirtak {

static_assert(std::string_view(kPlainWay.name) == "plain", "the plain way is the table's last row");

namespace {

bool chosen(const KernelSet& set) {
#ifdef MIRTAK_ONLY_KERNELS
  // A build for benchmarks: the one set it was made for (CMake checked the name).
  return std::strcmp(set.name, MIRTAK_ONLY_KERNELS) == 0;
#else
  return set.runs_here();
#endif
}

}  // namespace

const KernelSet& best_kernel_set() {
  const auto* set = std::find_if(std::begin(kKernelSets), std::end(kKernelSets), chosen);
  return set != std::end(kKernelSets) ? *set : kPlainWay;
}

}  // namespace mirtak
