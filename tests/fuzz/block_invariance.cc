#include "tests/fuzz/block_invariance.h"

#include <string_view>
#include <vector>

#include "tests/support.h"

namespace mirtak::test {

namespace {

using Pieces = std::vector<std::size_t>;

// One way of converting a log handed over in pieces of the given sizes, cycled (0: whole).
struct Path {
  const char* name;
  std::string (*convert)(std::string_view log, const Pieces& pieces);
};

// Every conversion path of the library. The first is the plain one, the reference for the rest;
// a new path is one more line here.
const Path kPaths[] = {
    {"plain", &convert},
};

// Two piece sizes of 1 to 16 bytes, taken in turn: over all choices, every offset of a log is a
// block boundary, and 0x00 hands the log over a byte at a time.
Pieces cutting(unsigned char choice) {
  return {std::size_t{1} + (choice & 0x0Fu), std::size_t{1} + (choice >> 4u)};
}

std::string hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4u];
    out += kDigits[b & 0x0Fu];
    out += ' ';
  }
  return out;
}

}  // namespace

std::string check_block_invariance(const unsigned char* input, std::size_t size) {
  if (size == 0) return {};
  const std::string_view log(reinterpret_cast<const char*>(input) + 1, size - 1);
  const Pieces whole = {0};
  const Pieces cut = cutting(input[0]);
  const std::string expected = kPaths[0].convert(log, whole);

  std::string report;
  for (const Path& path : kPaths) {
    for (const Pieces* pieces : {&whole, &cut}) {
      if (&path == &kPaths[0] && pieces == &whole) continue;  // the reference itself
      const std::string got = path.convert(log, *pieces);
      if (got == expected) continue;
      report += std::string(path.name) + " path, pieces of " + std::to_string(pieces->front()) +
                (pieces->size() > 1 ? " and " + std::to_string(pieces->back()) : "") +
                ":\n  got      " + hex(got) + "\n  expected " + hex(expected) + "\n";
    }
  }
  return report;
}

}  // namespace mirtak::test
