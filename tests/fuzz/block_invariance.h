// The property every log must keep, whatever its bytes: its value file does not depend on how the
// log is cut into blocks, nor on which kernel set reads it. Checked by the fuzzer on every
// input it makes up, and by the unit tests on every input kept in tests/fuzz/corpus/.
//
// An input is one byte that chooses the cutting, then the log itself.
#pragma once

#include <cstddef>
#include <string>

namespace mirtak::test {

// Converts the log as a whole and cut as the first byte chooses, by every kernel set, and
// compares each value file with the plain way's over the whole log. Returns an empty string
// when all agree, else what differed.
std::string check_block_invariance(const unsigned char* input, std::size_t size);

}  // namespace mirtak::test
