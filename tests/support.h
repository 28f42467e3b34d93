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

namespace mirtak::test {

std::string bytes_of(std::string_view notation);

// Converts a whole log in memory, handing it over in pieces of the given sizes, cycled (0: all
// at once). Returns the value file's bytes.
std::string convert(std::string_view log, const std::vector<std::size_t>& pieces = {0});

// The value file's bytes for these values, written out independently of the writer.
std::string items_of(const std::vector<std::int16_t>& values);

}  // namespace mirtak::test
