// The value file of a log, written straight from the rules over the whole log in memory: lines
// and fields as strings, nothing streamed, none of the tool's code. Tests compare every way
// through a log with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mirtak::test {

std::vector<std::int16_t> reference_values(std::string log);

// The values of each data line, line by line.
std::vector<std::vector<std::int16_t>> reference_lines(std::string log);

// How many values each data line gives, in order.
std::vector<std::size_t> reference_line_counts(std::string log);

}  // namespace mirtak::test
