// Prints the names of the kernel sets this processor can run, fastest first, one per line, so
// that bench/run.sh builds and times a tool for each.
#include <cstdio>

#include "log/kernel_sets.h"

int main() {
  for (const mirtak::KernelSet& set : mirtak::kKernelSets) {
    if (set.runs_here()) (void)std::puts(set.name);
  }
  return 0;
}
