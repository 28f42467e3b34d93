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
#include "output/value_writer.h"

namespace mirtak::test {

std::string bytes_of(std::string_view notation);

// The kernel sets this processor can run, the plain way included; every test of values runs on
// each.
std::vector<const KernelSet*> available_kernel_sets();

// How the blocks reach the decoder: each where it lies in the log (so a read past its end is
// caught by the sanitizers), or each copied into one buffer, as the tool reads a file.
enum class Feed : unsigned char { kSlices, kOneBuffer };

// Converts a whole log in memory, handing it over in blocks of the given sizes, cycled (0: all
// at once). Returns the value file's bytes.
// `lines`, where given, observes the writer: it is told each line's values and end.
std::string convert(std::string_view log, const std::vector<std::size_t>& blocks = {0},
                    const KernelSet& kernel_set = best_kernel_set(), Feed feed = Feed::kSlices,
                    LineValues* lines = nullptr);

// Where each data line ends in the value stream, and every value told, as the writer tells them.
class LineEndList final : public LineValues {
 public:
  void take_values(const unsigned char* items, std::size_t count) override {
    values.append(reinterpret_cast<const char*>(items), count * kItemSize);
  }
  void line_ended() override { ends.push_back(values.size() / kItemSize); }
  std::vector<std::uint64_t> ends;
  std::string values;  // as items
};

// The same from how many values each line gives: their running totals.
std::vector<std::uint64_t> line_ends_of(const std::vector<std::size_t>& counts);

// The value file's bytes for these values, written out independently of the writer.
std::string items_of(const std::vector<std::int16_t>& values);

}  // namespace mirtak::test
