// Helpers shared by the unit tests.
//
// A readable notation for the bytes of a log in test tables:
//   ·  a space            ⏎  a newline
//   <CR> carriage return   <^Z> Ctrl-Z   <TAB> <VT> <FF> <NUL>   <xHH> any byte, in hex
// Every other character stands for itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log/kernel_sets.h"
#include "log/line_ends.h"

namespace mirtak::test {

std::string bytes_of(std::string_view notation);

// The kernel sets this processor can run, the plain way included; every test of values runs on
// each.
std::vector<const KernelSet*> available_kernel_sets();

// How the pieces reach the decoder: each where it lies in the log (so a read past its end is
// caught by the sanitizers), or each copied into one buffer, as the tool reads a file.
enum class Feed : unsigned char { kSlices, kOneBuffer };

// Converts a whole log in memory, handing it over in pieces of the given sizes, cycled (0: all
// at once). Returns the value file's bytes.
// Line ends, where given, are told where each data line ends.
std::string convert(std::string_view log, const std::vector<std::size_t>& pieces = {0},
                    const KernelSet& kernel_set = best_kernel_set(), Feed feed = Feed::kSlices,
                    LineEnds* line_ends = nullptr);

// Where each data line ends in the value stream, as the decoder tells.
class LineEndList final : public LineEnds {
 public:
  void line_ended(std::uint64_t values) override { ends.push_back(values); }
  std::vector<std::uint64_t> ends;
};

// The same from how many values each line gives: their running totals.
std::vector<std::uint64_t> line_ends_of(const std::vector<std::size_t>& counts);

// The value file's bytes for these values, written out independently of the writer.
std::string items_of(const std::vector<std::int16_t>& values);

}  // namespace mirtak::test
