#include "tests/fuzz/block_invariance.h"

#include <string_view>
#include <vector>

#include "tests/support.h"

namespace mirtak::test {

namespace {

using Pieces = std::vector<std::size_t>;

// Two piece sizes of 1 to 16 bytes, taken in turn: over all choices, every offset of a log is a
// block boundary, and 0x00 hands the log over a byte at a time.
Pieces cutting(unsigned char choice) {
  return {std::size_t{1} + (choice & 0x0Fu), std::size_t{1} + (choice >> 4u)};
}

// Blocks of 64 to 1 KiB bytes, so that the fast ways see whole lines and are cut between and
// inside them.
Pieces long_cutting(unsigned char choice) {
  return {std::size_t{64} + std::size_t{4} * choice};
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
  const Pieces long_cut = long_cutting(input[0]);
  const std::string expected = convert(log, whole, kPlainWay);

  // Tiny pieces cost a call per byte or so: they go through one kernel set, which the choice
  // byte also picks, so that every set meets them over many inputs.
  const std::vector<const KernelSet*> sets = available_kernel_sets();
  const KernelSet* tiny_set = sets[(input[0] + input[0] / 16u) % sets.size()];

  std::string report;
  for (const KernelSet* set : sets) {
    for (const Pieces* pieces : {&whole, &cut, &long_cut}) {
      for (const Feed feed : {Feed::kSlices, Feed::kOneBuffer}) {
        if (pieces == &whole && feed == Feed::kOneBuffer) continue;  // the same as slices
        if (pieces == &cut && (set != tiny_set || feed == Feed::kOneBuffer)) continue;
        const std::string got = convert(log, *pieces, *set, feed);
        if (got == expected) continue;
        report += std::string(set->name) + " kernels, pieces of " +
                  std::to_string(pieces->front()) +
                  (pieces->size() > 1 ? " and " + std::to_string(pieces->back()) : "") +
                  (feed == Feed::kOneBuffer ? " read into one buffer" : "") + ":\n  got      " +
                  hex(got) + "\n  expected " + hex(expected) + "\n";
      }
    }
  }
  return report;
}

}  // namespace mirtak::test
