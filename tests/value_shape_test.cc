// The shape of the values that the page shows before a value file is saved: learnt from the
// line ends the decoder tells and the value file's bytes, on every kernel set, the log cut into
// odd pieces so that lines end on both sides of the writer's flushes.
#include "web/value_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "log/decoder.h"
#include "tests/support.h"

namespace mirtak::test {
namespace {

class ShapeSink final : public ByteSink {
 public:
  explicit ShapeSink(ValueShape& shape) : shape_(shape) {}
  bool write(const unsigned char* data, std::size_t size) override {
    shape_.take_items(data, size);
    return true;
  }

 private:
  ValueShape& shape_;
};

struct Odd {
  std::uint64_t line;
  std::uint32_t values;
  bool operator==(const Odd& o) const { return line == o.line && values == o.values; }
};

struct Shape {
  std::uint64_t lines;
  std::uint32_t common;
  std::uint64_t with_common;
  std::vector<Odd> odd;
  std::vector<std::pair<int, int>> ranges;  // smallest, largest of each column
};

void PrintTo(const Odd& o, std::ostream* os) {
  *os << "line " << o.line << ": " << o.values;
}

Shape shape_of(const std::string& log, std::size_t piece, const KernelSet& set) {
  auto shape = std::make_unique<ValueShape>();
  ShapeSink sink(*shape);
  auto writer = std::make_unique<ValueWriter>(sink);
  Decoder decoder(*writer, set);
  decoder.observe_line_ends(*shape);
  std::string copy = log;
  for (std::size_t at = 0; at < copy.size(); at += piece) {
    const std::size_t size = std::min(piece, copy.size() - at);
    if (!decoder.feed(reinterpret_cast<unsigned char*>(copy.data() + at), size)) break;
  }
  decoder.finish();
  writer->flush();

  Shape s{shape->data_lines(), shape->common_count(), shape->lines_with_common_count(), {}, {}};
  std::uint64_t numbers[ValueShape::kListed];
  std::uint32_t counts[ValueShape::kListed];
  const std::size_t odd = shape->odd_lines(numbers, counts);
  for (std::size_t i = 0; i < odd; ++i)
    s.odd.push_back({numbers[i], counts[i]});
  for (std::size_t k = 0; k < shape->columns(); ++k)
    s.ranges.emplace_back(shape->smallest(k), shape->largest(k));
  return s;
}

std::string lines_of_counts(const std::vector<int>& counts) {
  std::string log = "HEADER\r\n";
  for (const int count : counts) {
    log += "X";
    for (int v = 0; v < count; ++v)
      log += " " + std::to_string(v);
    log += "\r\n";
  }
  return log + "+\r\n";
}

TEST(ValueShape, LinesCountsOddLinesAndColumnRanges) {
  std::string wide = "H\n";
  for (int line = 0; line < 3; ++line) {
    wide += "W";
    for (int v = 0; v < 40000; ++v)
      wide += " " + std::to_string(v % 2 == 0 ? -v : line);
    wide += "\n";
  }
  const struct {
    const char* name;
    std::string log;
    Shape expected;
  } cases[] = {
      {"trailing space on one line",
       bytes_of("H⏎A·1·2⏎B·-3·4⏎C·5·6·⏎D·7·-8⏎+⏎"),
       {4, 2, 3, {{4, 3}}, {{-3, 7}, {-8, 6}, {0, 0}}}},
      {"empty and one-field lines, no terminator",
       bytes_of("H⏎⏎A·9⏎B⏎⏎C·1"),
       {5, 0, 3, {{3, 1}, {6, 1}}, {{1, 9}}}},
      {"a tie: the count seen first",
       bytes_of("H⏎A·1⏎B·1·2⏎B·1·2⏎A·3⏎"),
       {4, 1, 2, {{3, 2}, {4, 2}}, {{1, 3}, {2, 2}}}},
      {"more counts than are told apart",
       lines_of_counts(
           {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 2, 2, 2}),
       {23,
        2,
        4,
        {{2, 1}, {4, 3}, {5, 4}, {6, 5}, {7, 6}, {8, 7}, {9, 8}, {10, 9}, {11, 10}, {12, 11}},
        {}}},
      {"lines longer than the writer's buffer", wide, {3, 40000, 3, {}, {}}},
      {"lines without values, each after a count left out",
       lines_of_counts({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 16, 0, 16, 0}),
       {22,
        0,
        4,
        {{3, 1}, {4, 2}, {5, 3}, {6, 4}, {7, 5}, {8, 6}, {9, 7}, {10, 8}, {11, 9}, {12, 10}},
        {}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const KernelSet* set : available_kernel_sets()) {
      SCOPED_TRACE(set->name);
      for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{7}, std::size_t{4093}}) {
        const Shape s = shape_of(c.log, piece, *set);
        EXPECT_EQ(s.lines, c.expected.lines);
        EXPECT_EQ(s.common, c.expected.common);
        EXPECT_EQ(s.with_common, c.expected.with_common);
        EXPECT_EQ(s.odd, c.expected.odd);
        if (!c.expected.ranges.empty()) {
          EXPECT_EQ(s.ranges, c.expected.ranges);
        }
      }
    }
  }
}

// Lines of values made to order, as a table case describes them: `lines` lines of `width`
// values each, every `odd_every`-th of them (if any) `odd_width` wide instead, and every
// `empty_every`-th line (if any) without values.
struct Lines {
  const char* name;
  std::size_t lines;
  std::size_t width;
  std::size_t odd_every;
  std::size_t odd_width;
  std::size_t empty_every;
};

std::vector<std::vector<std::int16_t>> lines_of(const Lines& c, std::mt19937& random) {
  std::uniform_int_distribution<int> value(INT16_MIN, INT16_MAX);
  std::vector<std::vector<std::int16_t>> lines(c.lines);
  for (std::size_t n = 0; n < c.lines; ++n) {
    std::size_t width =
        c.odd_every != 0 && n % c.odd_every == c.odd_every - 1 ? c.odd_width : c.width;
    if (c.empty_every != 0 && n % c.empty_every == c.empty_every - 1) width = 0;
    for (std::size_t k = 0; k < width; ++k)
      lines[n].push_back(static_cast<std::int16_t>(value(random)));
  }
  return lines;
}

// Tells the shape of the lines as the decoder and the writer do, in their order and no other:
// each line's end once its values are written, and the written values handed on in pieces of
// any number of items, some before their line's end is told, never more held back than the
// writer holds. After each value and each line's end, a piece is handed on at odds of one in
// `odds`: often, in pieces of a few items, or seldom, in long stretches of lines.
void tell(ValueShape& shape, const std::vector<std::vector<std::int16_t>>& lines, std::size_t odds,
          std::mt19937& random) {
  constexpr std::size_t kHeld = ValueWriter::kPieceSize / kItemSize + ValueWriter::kMaxReserve;
  std::uniform_int_distribution<std::size_t> hand_on(1, odds);
  std::vector<std::int16_t> held;
  std::uint64_t written = 0;
  const auto maybe_hand_on = [&] {
    if (held.empty() || (held.size() < kHeld && hand_on(random) != 1)) return;
    const auto items = static_cast<std::ptrdiff_t>(
        std::uniform_int_distribution<std::size_t>(1, held.size())(random));
    const std::string bytes =
        items_of(std::vector<std::int16_t>(held.begin(), held.begin() + items));
    shape.take_items(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    held.erase(held.begin(), held.begin() + items);
  };
  for (const auto& line : lines) {
    for (const std::int16_t v : line) {
      held.push_back(v);
      ++written;
      maybe_hand_on();
    }
    shape.line_ended(written);
    maybe_hand_on();
  }
  const std::string bytes = items_of(held);
  shape.take_items(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(ValueShape, RangesAndCountsOfLinesHandedOnInAnyPieces) {
  const Lines cases[] = {
      {"one value a line", 5000, 1, 0, 0, 0},
      {"eight values, a vector a line", 3000, 8, 0, 0, 0},
      {"eleven values", 4000, 11, 0, 0, 0},
      {"eleven values, every 97th line one more", 6000, 11, 97, 12, 0},
      {"seventeen values, empty lines among them", 3000, 17, 0, 0, 13},
      {"lines of 3 and 5 values by turns", 3000, 3, 2, 5, 0},
      {"the widest lines whose columns are all kept", 300, ValueShape::kColumns, 0, 0, 0},
      {"one column more than are kept", 300, ValueShape::kColumns + 1, 0, 0, 0},
      {"wide lines, every 7th narrow", 400, 300, 7, 9, 0},
  };
  for (const Lines& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::size_t odds : {std::size_t{3}, std::size_t{700}, std::size_t{40000}}) {
      SCOPED_TRACE(odds);
      std::mt19937 random(static_cast<unsigned>(odds));
      const auto lines = lines_of(c, random);
      auto shape = std::make_unique<ValueShape>();
      tell(*shape, lines, odds, random);

      // What the shape must be, line by line from the values themselves.
      std::vector<std::pair<int, int>> ranges;
      std::map<std::size_t, std::uint64_t> lines_of_count;
      std::vector<std::int16_t> first_values;
      for (const auto& line : lines) {
        ++lines_of_count[line.size()];
        for (std::size_t k = 0; k < line.size(); ++k) {
          if (first_values.size() < ValueShape::kFirstValues) first_values.push_back(line[k]);
          if (k >= ValueShape::kColumns) continue;
          if (k == ranges.size()) ranges.emplace_back(line[k], line[k]);
          ranges[k] = {std::min<int>(ranges[k].first, line[k]),
                       std::max<int>(ranges[k].second, line[k])};
        }
      }
      std::vector<std::pair<int, int>> shown;
      for (std::size_t k = 0; k < shape->columns(); ++k)
        shown.emplace_back(shape->smallest(k), shape->largest(k));
      EXPECT_EQ(shown, ranges);
      EXPECT_EQ(shape->data_lines(), lines.size());
      EXPECT_EQ(shape->lines_with_common_count(), lines_of_count[shape->common_count()]);
      for (const auto& [count, number] : lines_of_count)
        EXPECT_LE(number, shape->lines_with_common_count()) << count << " values a line";
      EXPECT_EQ(std::vector<std::int16_t>(shape->first_values(),
                                          shape->first_values() + shape->first_values_kept()),
                first_values);
    }
  }
}

}  // namespace
}  // namespace mirtak::test
