// Every input kept in the fuzzer's corpus (the seeds and each finding, kept as a regression case)
// goes through the same check in every build of the tests, sanitized or not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fuzz/block_invariance.h"

namespace mirtak::test {
namespace {

namespace fs = std::filesystem;

TEST(FuzzCorpus, EveryKeptInputConvertsTheSameHoweverCut) {
  int inputs = 0;
  for (const auto& entry : fs::directory_iterator(MIRTAK_FUZZ_CORPUS)) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // Every cutting, not only the one the input chose.
    std::string recut = input;
    for (int choice = 0; choice < 256 && !recut.empty(); ++choice) {
      recut[0] = static_cast<char>(choice);
      const auto* bytes = reinterpret_cast<const unsigned char*>(recut.data());
      EXPECT_EQ(check_block_invariance(bytes, recut.size()), "") << "cutting " << choice;
    }
    ++inputs;
  }
  EXPECT_GE(inputs, 8) << "the seed corpus is missing";
}

}  // namespace
}  // namespace mirtak::test
