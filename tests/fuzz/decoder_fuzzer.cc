// libFuzzer entry: every input is a log (after one byte that chooses how it is cut into blocks).
// A sanitizer report, or a value file that changes with the cutting or the kernel set, is a
// finding: the input is saved and the run fails.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/block_invariance.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string report = mirtak::test::check_block_invariance(data, size);
  if (!report.empty()) {
    (void)std::fputs(report.c_str(), stderr);
    std::abort();
  }
  return 0;
}
