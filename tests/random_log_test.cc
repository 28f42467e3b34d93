// Random logs, cut at random places, against the reference reading of tests/reference.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "log/chunk_masks.h"
#include "tests/reference.h"
#include "tests/support.h"

namespace mirtak::test {
namespace {

std::string random_log(std::mt19937& rng) {
  static const char* const kParts[] = {
      " ", "  ",    "    ",   "\n",          "\r\n", "\r",        "1",  "23",   "-",
      "+", "7",     "-4",     "\t",          "A",    ".",         "9",  "0",    "\v",
      "e", "65536", "40000",  "99999999999", "\n+",  "\n+ END\n", "\0", "\xff", "\x80",
      "5", "12",    "-32769", "\f",          "-00",  "+007",      "-0"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kParts) - 1);
  std::uniform_int_distribution<int> length(0, 400);
  std::uniform_int_distribution<int> percent(0, 99);
  std::string log;
  if (percent(rng) < 90) log = "HEADER 1 2\r\n";
  for (int n = length(rng); n > 0; --n) {
    const char* part = kParts[pick(rng)];
    log += part[0] == '\0' ? std::string(1, '\0') : std::string(part);
    if (percent(rng) == 0) log += '\x1a';
  }
  return log;
}

// Mostly ordinary numeric lines, as instruments write them, with now and then something the
// fast ways must hand to the plain reader. The shape says how many lines and fields, and how
// often (per thousand fields) something odd comes: many short lines straddle blocks and
// stretches; a few lines of thousands of fields put every field boundary, odd byte and line
// end somewhere against a stretch's end.
struct Shape {
  int most_lines;
  int fewest_fields;
  int more_fields;
  int odd_per_thousand;
};

std::string random_numeric_log(std::mt19937& rng, Shape shape) {
  static const char* const kOdd[] = {"\t", "\r", "\x1a",         "x", "+-", "--",  "\n+\n", "  ",
                                     "\v", "\f", "123456789012", "-", "+",  "-00", "+0",    "\xff",
                                     ":",  "/"};
  std::uniform_int_distribution<int> percent(0, 999);
  std::uniform_int_distribution<int> number(-99999, 99999);
  std::uniform_int_distribution<int> lines(1, shape.most_lines);
  std::uniform_int_distribution<int> fields(shape.fewest_fields,
                                            shape.fewest_fields + shape.more_fields);
  std::uniform_int_distribution<std::size_t> odd(0, std::size(kOdd) - 1);
  std::string log = "SEQ  A  B  C\r\n";
  for (int line = lines(rng); line > 0; --line) {
    log += std::to_string(line);
    for (int field = fields(rng); field > 0; --field) {
      log += std::string(1 + static_cast<std::size_t>(percent(rng) % 7), ' ');
      if (percent(rng) < shape.odd_per_thousand) log += kOdd[odd(rng)];
      log += std::to_string(number(rng));
    }
    if (percent(rng) < 50) log += ' ';
    log += percent(rng) < 500 ? "\r\n" : "\n";
  }
  if (percent(rng) < 500) log += "+ END\r\n1 2 3\r\n";
  return log;
}

void expect_reference_values(const std::string& log, std::mt19937& rng, int round) {
  const std::string expected = items_of(reference_values(log));
  const std::vector<std::uint64_t> expected_ends = line_ends_of(reference_line_counts(log));
  std::uniform_int_distribution<std::size_t> block(1, log.size() + 1);
  const std::vector<std::size_t> blocks = {block(rng), block(rng), block(rng)};
  for (const KernelSet* set : available_kernel_sets()) {
    ASSERT_EQ(convert(log, {0}, *set), expected)
        << "round " << round << ", " << set->name << ", log " << ::testing::PrintToString(log);
    LineEndList line_ends;
    ASSERT_EQ(convert(log, blocks, *set, Feed::kSlices, &line_ends), expected)
        << "round " << round << ", " << set->name;
    ASSERT_EQ(line_ends.ends, expected_ends) << "round " << round << ", " << set->name;
    ASSERT_EQ(line_ends.values, expected) << "round " << round << ", " << set->name;
    // As the tool reads: every block into the same buffer.
    ASSERT_EQ(convert(log, blocks, *set, Feed::kOneBuffer), expected)
        << "round " << round << ", " << set->name << ", one buffer";
  }
}

TEST(RandomLogs, SameValuesAsReferenceHoweverCut) {
  std::mt19937 rng(20261208);  // NOLINT(cert-msc32-c,cert-msc51-cpp): reproducible on failure
  for (int round = 0; round < 3000; ++round) {
    ASSERT_NO_FATAL_FAILURE(expect_reference_values(random_log(rng), rng, round));
  }
}

TEST(RandomLogs, NumericLogsSameValuesOnEveryKernelSet) {
  std::mt19937 rng(20261209);  // NOLINT(cert-msc32-c,cert-msc51-cpp): reproducible on failure
  const struct {
    Shape shape;
    int rounds;
  } runs[] = {{{300, 0, 11, 30}, 400}, {{3000, 3, 0, 1}, 4}, {{3, 2000, 4000, 2}, 20}};
  std::size_t longest = 0;
  for (const auto& r : runs) {
    for (int round = 0; round < r.rounds; ++round) {
      const std::string log = random_numeric_log(rng, r.shape);
      longest = std::max(longest, log.size());
      ASSERT_NO_FATAL_FAILURE(expect_reference_values(log, rng, round));
    }
  }
  // The lines of thousands of fields reach past several stretches, whatever size they are.
  EXPECT_GT(longest, 3 * kStretchSize);
}

}  // namespace
}  // namespace mirtak::test
