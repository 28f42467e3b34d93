// Every byte, 0x00 to 0xFF, in every place of a line that a rule of the log tells apart, amid
// ordinary lines that the fast ways take: through every way this processor has, whole and cut
// at every offset of the probed line, against the reference reading. A rule restated by a fast
// way (which bytes are white space, a carriage return before the newline, Ctrl-Z, the
// terminator, the separator, the dropped first field, trailing spaces) cannot drift from its
// home without one of these lines reading differently.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/reference.h"
#include "tests/support.h"

namespace mirtak::test {
namespace {

// A place in a data line: the line's text before and after the probed byte.
struct Place {
  const char* name;
  const char* before;
  const char* after;
};

const Place kPlaces[] = {
    {"inside the dropped first field", "A", "B·5·6⏎"},
    {"first byte of a line", "", "·5·6⏎"},
    {"in a line's leading spaces", "··", "·7·8⏎"},
    {"between two separators", "A·5·", "·6⏎"},
    {"first character of a value field", "A·", "5·6⏎"},
    {"right after a minus", "A·-", "5·6⏎"},
    {"right after a plus", "A··+", "5⏎"},
    {"inside a run of digits", "A·1", "2·3⏎"},
    {"right after a run of digits", "A·12", "·3⏎"},
    {"after a sign and leading zeros", "A·-00", "7·1⏎"},
    {"after seven digits", "A·1234567", "89·1⏎"},
    {"after a sign and seven digits", "A··-1234567", "8<CR>⏎"},
    {"just before the newline", "A·5·6", "⏎"},
    {"just before CR LF", "A·5·6", "<CR>⏎"},
    {"after trailing spaces", "A·5··", "⏎"},
    {"right after a lone carriage return", "A·5<CR>", "6·7⏎"},
};

// Lines the fast ways take, of several lengths, so that the probes fall at many positions of the
// 64-byte chunks they are classified in.
const char* const kOrdinary[] = {
    "17····12···-345··6789<CR>⏎",
    "18·1·-2·3·+4⏎",
    "19········0·····32767····-32768<CR>⏎",
};

struct Log {
  std::string text;
  std::vector<std::size_t> probes;  // where each probed line starts
};

void add_ordinary_lines(Log& log, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    log.text += bytes_of(kOrdinary[(log.text.size() + i) % std::size(kOrdinary)]);
}

void add_probe(Log& log, const std::string& before, unsigned char byte, const std::string& after) {
  log.probes.push_back(log.text.size());
  log.text += before + static_cast<char>(byte) + after;
}

// The log handed over in blocks that cut every probed line `offset` bytes after its start (or at
// its start), so that the ordinary lines between two cuts go whole to the fast way.
std::vector<std::size_t> blocks_cutting(const Log& log, std::size_t offset) {
  std::vector<std::size_t> blocks;
  std::size_t at = 0;
  for (const std::size_t probe : log.probes) {
    const std::size_t cut = std::min(probe + offset, log.text.size());
    if (cut > at) blocks.push_back(cut - at);
    at = std::max(at, cut);
  }
  if (at < log.text.size()) blocks.push_back(log.text.size() - at);
  return blocks;
}

void expect_reference_values(const Log& log, std::size_t longest_probe) {
  const std::string expected = items_of(reference_values(log.text));
  const std::vector<std::uint64_t> expected_ends = line_ends_of(reference_line_counts(log.text));
  for (const KernelSet* set : available_kernel_sets()) {
    SCOPED_TRACE(set->name);
    LineEndList line_ends;
    ASSERT_EQ(convert(log.text, {0}, *set, Feed::kSlices, &line_ends), expected) << "whole";
    ASSERT_EQ(line_ends.ends, expected_ends) << "where the lines end";
    ASSERT_EQ(line_ends.values, expected) << "the values told with them";
    for (std::size_t offset = 0; offset <= longest_probe; ++offset) {
      ASSERT_EQ(convert(log.text, blocks_cutting(log, offset), *set), expected)
          << "cut " << offset << " bytes into each probed line";
    }
  }
}

// Whether this byte in this place ends the data (Ctrl-Z ends the input, and a "+" that starts a
// line ends the data): such a probe gets a log of its own, so the probes after it still count.
bool ends_data(unsigned char byte, const Place& place) {
  return byte == 0x1A || (byte == '+' && std::string(place.before).empty());
}

TEST(ByteSweep, EveryByteInEveryPlaceOfADataLine) {
  for (const Place& place : kPlaces) {
    SCOPED_TRACE(place.name);
    const std::string before = bytes_of(place.before);
    const std::string after = bytes_of(place.after);
    const std::size_t longest = before.size() + 1 + after.size();
    Log all = {"HEADER·1·2<CR>⏎", {}};
    for (int b = 0; b < 256; ++b) {
      const auto byte = static_cast<unsigned char>(b);
      if (ends_data(byte, place)) {
        SCOPED_TRACE(b);
        Log alone = {"HEADER⏎", {}};
        add_ordinary_lines(alone, 3);
        add_probe(alone, before, byte, after);
        add_ordinary_lines(alone, 2);
        ASSERT_NO_FATAL_FAILURE(expect_reference_values(alone, longest));
        continue;
      }
      add_ordinary_lines(all, 1 + static_cast<std::size_t>(b) % 3);
      add_probe(all, before, byte, after);
    }
    add_ordinary_lines(all, 2);
    all.text += bytes_of("+<CR>⏎1·2⏎");
    ASSERT_NO_FATAL_FAILURE(expect_reference_values(all, longest));
  }
}

TEST(ByteSweep, EveryByteInTheHeader) {
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    Log log;
    add_probe(log, "HEAD", static_cast<unsigned char>(b), "ER·1⏎");
    add_ordinary_lines(log, 4);
    ASSERT_NO_FATAL_FAILURE(expect_reference_values(log, 10));
  }
}

}  // namespace
}  // namespace mirtak::test
