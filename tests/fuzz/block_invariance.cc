#include "tests/fuzz/block_invariance.h"

#include <string_view>
#include <vector>

#include "log/chunk_masks.h"
#include "tests/support.h"

namespace mirtak::test {

namespace {

using Blocks = std::vector<std::size_t>;

// Two block sizes of 1 to 16 bytes, taken in turn: over all choices, every offset of a log is a
// block boundary, and 0x00 hands the log over a byte at a time.
Blocks cutting(unsigned char choice) {
  return {std::size_t{1} + (choice & 0x0Fu), std::size_t{1} + (choice >> 4u)};
}

// Blocks of 64 to 1 KiB bytes, so that the fast ways see whole lines and are cut between and
// inside them.
Blocks long_cutting(unsigned char choice) {
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

// For one choice in four: the log with ordinary data lines put in after its first line, enough
// that the rest of it starts a little before the end of the first 8 KiB the fast ways classify
// at a time, and so is cut there. Empty otherwise, or if the log has no first line.
std::string across_stretches(std::string_view log, unsigned char choice) {
  const std::size_t header = log.find('\n');
  if (choice % 4 != 0 || header == std::string_view::npos) return {};
  std::string padded(log.substr(0, header + 1));
  const std::size_t stretch = kStretchSize;
  const std::size_t target = stretch - 1 - choice / 4u;
  for (std::size_t line = 0; padded.size() - header - 1 + 12 <= target; ++line)
    padded += std::to_string(line % 10) + "  12  -345\n";
  padded += std::string(target - (padded.size() - header - 1), ' ') + "\n";
  padded += log.substr(header + 1);
  return padded;
}

std::string check_block_invariance(const unsigned char* input, std::size_t size) {
  if (size == 0) return {};
  const std::string_view log(reinterpret_cast<const char*>(input) + 1, size - 1);
  const Blocks whole = {0};
  const Blocks cut = cutting(input[0]);
  const Blocks long_cut = long_cutting(input[0]);
  const std::string expected = convert(log, whole, kPlainWay);
  const std::string padded = across_stretches(log, input[0]);
  const std::string padded_expected = convert(padded, whole, kPlainWay);

  // Tiny blocks cost a call per byte or so: they go through one kernel set, which the choice
  // byte also picks, so that every set meets them over many inputs.
  const std::vector<const KernelSet*> sets = available_kernel_sets();
  const KernelSet* tiny_set = sets[(input[0] + input[0] / 16u) % sets.size()];

  std::string report;
  const auto compare = [&report](const std::string& got, const std::string& want,
                                 const std::string& how) {
    if (got != want)
      report += how + ":\n  got      " + hex(got) + "\n  expected " + hex(want) + "\n";
  };
  for (const KernelSet* set : sets) {
    for (const Blocks* blocks : {&whole, &cut, &long_cut}) {
      for (const Feed feed : {Feed::kSlices, Feed::kOneBuffer}) {
        if (blocks == &whole && feed == Feed::kOneBuffer) continue;  // the same as slices
        if (blocks == &cut && (set != tiny_set || feed == Feed::kOneBuffer)) continue;
        compare(convert(log, *blocks, *set, feed), expected,
                std::string(set->name) + " kernels, blocks of " + std::to_string(blocks->front()) +
                    (blocks->size() > 1 ? " and " + std::to_string(blocks->back()) : "") +
                    (feed == Feed::kOneBuffer ? " read into one buffer" : ""));
      }
    }
    if (!padded.empty()) {
      compare(convert(padded, whole, *set), padded_expected,
              std::string(set->name) + " kernels, across a stretch's end");
    }
  }
  return report;
}

}  // namespace mirtak::test
