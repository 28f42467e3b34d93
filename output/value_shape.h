// What a reader of a value file must know and the file does not say: how many data lines it holds,
// how many values each gives (the count most lines give, and the first lines that give another),
// and the smallest and largest value of each column. The writer tells it each line's values and
// end as it takes them (LineValues, output/value_writer.h), so it is learnt in the same pass that
// writes the file, on every way through a log. The storage is fixed: nothing grows with the log.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/value_writer.h"

namespace mirtak {

class ValueShape final : public LineValues {
 public:
  static constexpr std::size_t kColumns = 256;  // columns whose range is kept
  static constexpr std::size_t kListed = 10;    // lines listed that give another count
  // Counts of values a line are told apart exactly up to kColumns, and kWideCounts different
  // ones above it; lines of any further count share one tally, whose count is never taken for
  // the most lines' (they are still other lines, and listed as such).
  static constexpr std::size_t kWideCounts = 384;

  ValueShape();

  void take_values(const unsigned char* items, std::size_t count) override;
  void line_ended() override;

  std::uint64_t data_lines() const { return lines_; }
  std::uint64_t values() const { return values_; }

  // The number of values most lines give; on a tie the smaller. 0 when there are no lines.
  std::uint64_t values_per_line() const;
  // How many lines give another number.
  std::uint64_t other_lines() const;

  // A line that gives another number of values than most: its number in the log (the header is
  // line 1) and its count.
  struct OtherLine {
    std::uint64_t line;
    std::uint64_t values;
  };
  // The first of them (at most kListed), in log order; returns how many.
  std::size_t first_other_lines(OtherLine* out) const;

  // The columns whose range is kept (as many as the widest line has, at most kColumns), and the
  // range of column k below that.
  std::size_t columns() const { return columns_; }
  std::int16_t smallest(std::size_t column) const { return smallest_[column]; }
  std::int16_t largest(std::size_t column) const { return largest_[column]; }
  // How many columns of the widest line are past those kept.
  std::uint64_t columns_left_out() const { return widest_ > kColumns ? widest_ - kColumns : 0; }

 private:
  // The lines that give one number of values: how many, and the first of them.
  struct Count {
    std::uint64_t values;
    std::uint64_t lines;
    std::uint64_t listed[kListed];         // their line numbers
    std::uint64_t listed_values[kListed];  // their counts: the shared tally holds many
  };
  Count& count_of(std::uint64_t values);
  const Count* most_lines() const;

  std::uint64_t lines_ = 0;
  std::uint64_t values_ = 0;
  std::uint64_t column_ = 0;  // the current line's values so far
  std::uint64_t widest_ = 0;

  // Index c for c values a line, up to kColumns; then the wide counts, found by their hash in a
  // table a third larger than they fill (a slot of count 0 is free); then the shared tally.
  static constexpr std::size_t kWideSlots = 512;
  static_assert((kWideSlots & (kWideSlots - 1)) == 0 && kWideSlots >= kWideCounts * 4 / 3,
                "the wide counts' table is a power of two with room to spare");
  static constexpr std::size_t kCounts = kColumns + 1 + kWideSlots + 1;
  static constexpr std::size_t kShared = kCounts - 1;
  Count counts_[kCounts] = {};
  std::size_t wide_used_ = 0;
  Count* last_count_ = nullptr;  // the line before's: most lines give as many values

  std::size_t columns_ = 0;
  std::int16_t smallest_[kColumns];  // from INT16_MAX, as nothing has been seen
  std::int16_t largest_[kColumns];   // from INT16_MIN
};

}  // namespace mirtak
