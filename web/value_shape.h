// What a reader of a value file must know and the file does not say: how many data lines it
// holds, how many values each gives (and which lines give another number than most do), the
// smallest and largest value of each column, and the first lines' values, to be looked at before
// the file is saved. Learnt while the log is converted: the decoder tells where each data line
// ends (log/line_ends.h), and the value file's bytes pass through here on their way out. The
// storage is fixed: nothing grows with the log.
#pragma once

#include <cstddef>
#include <cstdint>

#include "log/line_ends.h"
#include "output/value_writer.h"

namespace mirtak {

class ValueShape final : public LineEnds {
 public:
  static constexpr std::size_t kColumns = 256;        // columns whose range is kept
  static constexpr std::size_t kCounts = 16;          // values-per-line counts told apart
  static constexpr std::size_t kListed = 10;          // lines listed of each count
  static constexpr std::size_t kFirstValues = 32768;  // values kept of the first lines
  static constexpr std::size_t kFirstLines = 2048;    // line ends kept of the first lines

  ValueShape();

  void line_ended(std::uint64_t values) override;

  // The value file's next bytes, whole items, in order. Every line that ends before the first
  // of them has been told of already: the decoder tells of a line's end before it hands on
  // any value that comes after it.
  void take_items(const unsigned char* items, std::size_t size);

  std::uint64_t data_lines() const { return lines_; }

  // The number of values most lines give (the first seen of a tie), and how many lines give it.
  std::uint32_t common_count() const;
  std::uint64_t lines_with_common_count() const;

  // The first lines (at most kListed) whose number of values differs from the common one, in
  // log order: their line numbers in the log (the header is line 1) and their counts.
  std::size_t odd_lines(std::uint64_t* line_numbers, std::uint32_t* counts) const;

  // Columns that have had a value (at most kColumns), and the range of column k.
  std::size_t columns() const { return columns_; }
  std::int16_t smallest(std::size_t column) const { return smallest_[column]; }
  std::int16_t largest(std::size_t column) const { return largest_[column]; }

  // The first values of the file, and where the first lines end among them.
  const std::int16_t* first_values() const { return first_values_; }
  std::size_t first_values_kept() const { return first_values_kept_; }
  const std::uint32_t* first_line_ends() const { return first_line_ends_; }
  std::size_t first_lines_kept() const { return first_lines_kept_; }

 private:
  // The lines that give one number of values: how many, and the first of them.
  struct Count {
    std::uint32_t values;
    std::uint64_t lines;
    std::uint64_t listed[kListed];  // line numbers
    std::uint32_t listed_values[kListed];
  };
  // Lines in a row that give the same number of values: where the last of them ends in the
  // value stream, and how many values each gives. Most logs are one such run from end to end,
  // so their items are taken whole lines at a time.
  struct Run {
    std::uint64_t end;
    std::uint64_t width;
  };
  void count_line(std::uint32_t values);
  void keep_first_values(const unsigned char* items, std::size_t count);
  // Items of lines of `width` values, the first of them in column `column`.
  void take_lines(const unsigned char* items, std::size_t count, std::uint64_t width,
                  std::uint64_t column);
  // Items of one line, the first of them in column `column`.
  void take_run(const unsigned char* items, std::size_t run, std::uint64_t column);
  const Count* common() const;

  std::uint64_t lines_ = 0;
  std::uint64_t last_end_ = 0;      // where the last line ended in the value stream
  Count counts_[kCounts + 1] = {};  // the last gathers every count the others leave out
  std::size_t counts_used_ = 0;
  std::size_t last_count_ = kCounts;  // the count of the line before; kCounts if none told apart

  // Runs of lines with values whose ends items have not reached yet. Values not handed on yet
  // are at most what the writer holds (a piece and one reservation past it), and each such run
  // has at least one of its own.
  static constexpr std::size_t kPending =
      ValueWriter::kPieceSize / kItemSize + ValueWriter::kMaxReserve + 1;
  Run pending_[kPending] = {};
  std::size_t pending_first_ = 0;
  std::size_t pending_size_ = 0;
  std::uint64_t items_ = 0;      // items taken
  std::uint64_t run_start_ = 0;  // where the first pending run (or the line being written) starts

  std::size_t columns_ = 0;
  std::int16_t smallest_[kColumns];  // from INT16_MAX, as nothing has been seen
  std::int16_t largest_[kColumns];   // from INT16_MIN

  std::int16_t first_values_[kFirstValues] = {};
  std::size_t first_values_kept_ = 0;
  std::uint32_t first_line_ends_[kFirstLines] = {};
  std::size_t first_lines_kept_ = 0;
};

}  // namespace mirtak
