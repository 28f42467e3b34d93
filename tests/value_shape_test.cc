// The shape of the values (lines, values per line, the lines that differ, each column's range),
// learnt from what the writer tells as it writes, against the shape worked out from the reference
// reading's lines (tests/reference.h): every figure, on every kernel set, for logs whose value
// files end on both sides of the writer's pieces, cut into blocks in every way the other tests
// cut them.
#include "output/value_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "log/chunk_masks.h"
#include "tests/reference.h"
#include "tests/support.h"

namespace mirtak::test {
namespace {

struct Figures {
  std::uint64_t lines = 0;
  std::uint64_t values = 0;
  std::uint64_t per_line = 0;
  std::uint64_t other = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> first_other;  // line number, count
  std::vector<std::pair<int, int>> columns;                          // smallest, largest
  std::uint64_t left_out = 0;

  bool operator==(const Figures& o) const {
    return lines == o.lines && values == o.values && per_line == o.per_line && other == o.other &&
           first_other == o.first_other && columns == o.columns && left_out == o.left_out;
  }
};

void PrintTo(const Figures& f, std::ostream* os) {
  *os << f.lines << " lines, " << f.values << " values, " << f.per_line << " a line, " << f.other
      << " other:";
  for (const auto& [line, count] : f.first_other)
    *os << " " << line << "=" << count;
  *os << "; " << f.columns.size() << " columns:";
  for (const auto& [low, high] : f.columns)
    *os << " " << low << ".." << high;
  *os << "; " << f.left_out << " left out";
}

// The figures worked out from the lines themselves: the most common count (on a tie the
// smaller), the first lines of any other, each column's range up to the columns kept.
Figures reference_figures(const std::string& log) {
  const std::vector<std::vector<std::int16_t>> lines = reference_lines(log);
  Figures f;
  f.lines = lines.size();
  std::map<std::size_t, std::uint64_t> lines_of_count;
  std::size_t widest = 0;
  for (const auto& line : lines) {
    f.values += line.size();
    ++lines_of_count[line.size()];
    widest = std::max(widest, line.size());
    for (std::size_t k = 0; k < line.size() && k < ValueShape::kColumns; ++k) {
      if (k == f.columns.size()) f.columns.emplace_back(line[k], line[k]);
      f.columns[k] = {std::min<int>(f.columns[k].first, line[k]),
                      std::max<int>(f.columns[k].second, line[k])};
    }
  }
  std::uint64_t most = 0;
  for (const auto& [count, number] : lines_of_count) {
    if (number > most) {  // in order of count: a tie keeps the smaller
      most = number;
      f.per_line = count;
    }
  }
  f.other = f.lines - most;
  for (std::size_t d = 0; d < lines.size() && f.first_other.size() < ValueShape::kListed; ++d) {
    if (lines[d].size() != f.per_line) f.first_other.emplace_back(d + 2, lines[d].size());
  }
  f.left_out = widest > ValueShape::kColumns ? widest - ValueShape::kColumns : 0;
  return f;
}

Figures figures_of(const ValueShape& shape) {
  Figures f;
  f.lines = shape.data_lines();
  f.values = shape.values();
  f.per_line = shape.values_per_line();
  f.other = shape.other_lines();
  ValueShape::OtherLine other[ValueShape::kListed];
  const std::size_t listed = shape.first_other_lines(other);
  for (std::size_t i = 0; i < listed; ++i)
    f.first_other.emplace_back(other[i].line, other[i].values);
  for (std::size_t k = 0; k < shape.columns(); ++k)
    f.columns.emplace_back(shape.smallest(k), shape.largest(k));
  f.left_out = shape.columns_left_out();
  return f;
}

// The shape as the writer tells it, the log handed over in pieces of the given sizes.
Figures shape_of(const std::string& log, const std::vector<std::size_t>& pieces,
                 const KernelSet& set) {
  auto shape = std::make_unique<ValueShape>();
  convert(log, pieces, set, Feed::kSlices, shape.get());
  return figures_of(*shape);
}

// `lines` data lines of `width` values, like sound through a converter: every value a sample of
// a tone with noise in its own column's band, so that each column's range is its own. CR LF or
// LF only.
std::string tone_lines(std::size_t lines, std::size_t width, bool crlf, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-40, 40);
  std::string log;
  for (std::size_t n = 0; n < lines; ++n) {
    log += std::to_string(n);
    for (std::size_t k = 0; k < width; ++k) {
      const int band = static_cast<int>(k % 50) * 1000 - 25000;
      const auto tone = static_cast<int>((n * 7 + k * 3) % 64 * 400 / 64);
      log += "  " + std::to_string(band + tone + noise(random));
    }
    log += crlf ? "\r\n" : "\n";
  }
  return log;
}

// The same as a whole log: a header, the lines, the terminator.
std::string tone_log(std::size_t lines, std::size_t width, bool crlf, std::uint32_t seed) {
  return (crlf ? "TIME  CH1  CH2\r\n" : "TIME CH1 CH2\n") + tone_lines(lines, width, crlf, seed) +
         "+\r\n";
}

// The cuts into blocks the other tests use: whole, odd, just past a stretch, a read block, and
// for logs short enough that it costs little, tiny.
std::vector<std::vector<std::size_t>> cuts(const std::string& log) {
  std::vector<std::vector<std::size_t>> all = {
      {0}, {4093}, {kStretchSize + 1}, {std::size_t{256} * 1024}};
  if (log.size() < 16 * kStretchSize) all.push_back({7});
  return all;
}

// Lines of seventeen different counts above the columns kept, then five lines of another.
std::string wide_counts_log() {
  std::string log = "H\n";
  const auto line = [](std::size_t width) {
    std::string text = "L";
    for (std::size_t k = 0; k < width; ++k)
      text += " " + std::to_string(k % 7);
    return text + "\n";
  };
  for (std::size_t width = 300; width <= 316; ++width)
    log += line(width);
  for (int n = 0; n < 5; ++n)
    log += line(400);
  return log;
}

// Lines of every count up to the columns kept and kWideCounts above them, each told apart, and a
// few more of counts that share one tally, which is never taken for the most common; then the
// most common count, 3.
std::string many_counts_log() {
  std::string log = "H\n";
  for (std::size_t w = 0; w <= ValueShape::kColumns + ValueShape::kWideCounts + 5; ++w) {
    log += "L";
    for (std::size_t k = 0; k < w; ++k)
      log += " " + std::to_string(k);
    log += "\n";
  }
  return log + "L 1 2 3\nL 1 2 3\nL 1 2 3\n";
}

constexpr std::size_t kPieceValues = ValueWriter::kPieceSize / kItemSize;

TEST(ValueShape, EveryFigureOfLogsWhoseValuesEndAroundTheWritersPieces) {
  struct Case {
    std::size_t width;
    bool crlf;
    std::size_t pieces;  // the most pieces its value files pass
  };
  // Widths that divide a piece (4, 8), that do not (5, 7, 9), a column a line, and more columns
  // than are kept; one of each kind past three pieces.
  const Case cases[] = {{4, true, 3},  {5, false, 2}, {7, true, 2},
                        {8, false, 2}, {9, true, 3},  {1, false, 2}};
  for (const Case& c : cases) {
    for (std::size_t pieces = 0; pieces <= c.pieces; ++pieces) {
      for (const int beside : {-1, 0, 1}) {
        const auto lines = static_cast<std::size_t>(
            std::max<long>(0, static_cast<long>(pieces * kPieceValues / c.width) + beside));
        const std::string log = tone_log(lines, c.width, c.crlf, static_cast<unsigned>(lines));
        const Figures expected = reference_figures(log);
        for (const KernelSet* set : available_kernel_sets()) {
          for (const auto& cut : cuts(log)) {
            ASSERT_EQ(shape_of(log, cut, *set), expected)
                << c.width << " values a line, " << lines << " lines, " << set->name
                << ", blocks of " << cut[0];
          }
        }
      }
    }
  }
}

TEST(ValueShape, EveryFigureOfWideRaggedAndTableLogs) {
  std::string ragged = "H\r\n";
  std::mt19937 random(2026);  // NOLINT(cert-msc32-c,cert-msc51-cpp): reproducible on failure
  std::uniform_int_distribution<int> width(0, 14);
  std::uniform_int_distribution<int> value(-32768, 32767);
  for (int n = 0; n < 30000; ++n) {
    ragged += "L";
    for (int k = width(random); k > 0; --k)
      ragged += " " + std::to_string(value(random));
    ragged += n % 17 == 0 ? " \r\n" : "\r\n";  // a trailing space now and then: one more 0
  }
  std::ifstream sample_file(MIRTAK_SAMPLE_LOG, std::ios::binary);
  std::ostringstream sample;
  sample << sample_file.rdbuf();
  const struct {
    const char* name;
    std::string log;
  } cases[] = {
      {"the sample", sample.str()},
      {"300 columns, more than are kept", tone_log(500, 300, true, 1)},
      {"the widest lines whose columns are all kept",
       tone_log(300, ValueShape::kColumns, false, 2)},
      {"many wide counts, the most lines' the last to come", wide_counts_log()},
      {"counts past those told apart share a tally", many_counts_log()},
      {"a line of 40,000 values among short ones",
       "H\n" + tone_lines(3, 2, true, 3) + tone_lines(1, 40000, false, 4) + "X 1 2\n"},
      {"ragged lines, past three pieces", ragged},
      {"trailing space on one line", bytes_of("H⏎A·1·2⏎B·-3·4⏎C·5·6·⏎D·7·-8⏎+⏎")},
      {"empty and one-field lines, no terminator", bytes_of("H⏎⏎A·9⏎B⏎⏎C·1")},
      {"a tie: the smaller count", bytes_of("H⏎A·1·2⏎B·1⏎B·1·2⏎A·3⏎")},
      {"no data lines", bytes_of("H⏎+⏎")},
      {"an empty log", ""},
      {"Ctrl-Z in a line ends it", bytes_of("H⏎A·1·2⏎B·3<^Z>·4⏎C·5⏎")},
  };
  for (const auto& c : cases) {
    const Figures expected = reference_figures(c.log);
    for (const KernelSet* set : available_kernel_sets()) {
      for (const auto& cut : cuts(c.log)) {
        ASSERT_EQ(shape_of(c.log, cut, *set), expected)
            << c.name << ", " << set->name << ", blocks of " << cut[0];
      }
    }
  }
}

}  // namespace
}  // namespace mirtak::test
