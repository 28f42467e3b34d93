#include "log/kernel_sets.h"

#include <algorithm>

namespace mirtak {

const KernelSet& best_kernel_set() {
  const auto* set = std::find_if(std::begin(kKernelSets), std::end(kKernelSets),
                                 [](const KernelSet& s) { return s.runs_here(); });
  return set != std::end(kKernelSets) ? *set : kPlainWay;
}

}  // namespace mirtak
