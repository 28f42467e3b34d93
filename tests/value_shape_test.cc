// The shape of the values that the page shows before a value file is saved: learnt from the
// line ends the decoder tells and the value file's bytes, on every kernel set, the log cut into
// odd pieces so that lines end on both sides of the writer's flushes.
#include "web/value_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
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
  // The widest lines: ranges kept for the first columns only; even columns -v, odd ones the
  // line's number.
  const Shape s = shape_of(wide, 4093, best_kernel_set());
  ASSERT_EQ(s.ranges.size(), ValueShape::kColumns);
  EXPECT_EQ(s.ranges[0], std::make_pair(0, 0));
  EXPECT_EQ(s.ranges[1], std::make_pair(0, 2));
  EXPECT_EQ(s.ranges[254], std::make_pair(-254, -254));
}

}  // namespace
}  // namespace mirtak::test
