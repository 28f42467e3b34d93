#include "web/value_shape.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <numeric>

namespace mirtak {

ValueShape::ValueShape() {
  std::fill(std::begin(smallest_), std::end(smallest_), INT16_MAX);
  std::fill(std::begin(largest_), std::end(largest_), INT16_MIN);
}

void ValueShape::line_ended(std::uint64_t values) {
  ++lines_;
  const std::uint64_t count = values - last_end_;
  last_end_ = values;
  count_line(static_cast<std::uint32_t>(std::min<std::uint64_t>(count, UINT32_MAX)));
  if (first_lines_kept_ < kFirstLines && values <= kFirstValues)
    first_line_ends_[first_lines_kept_++] = static_cast<std::uint32_t>(values);
  // A line without values starts no column; the next item's line is found by the ends of lines
  // that have values.
  if (count == 0) return;
  if (values <= items_) {
    run_start_ = values;
    return;
  }
  if (pending_size_ != 0) {
    std::size_t last = pending_first_ + pending_size_ - 1;
    if (last >= kPending) last -= kPending;
    if (pending_[last].width == count) {
      pending_[last].end = values;
      return;
    }
  }
  if (pending_size_ < kPending) {
    std::size_t next = pending_first_ + pending_size_;
    if (next >= kPending) next -= kPending;
    pending_[next] = {values, count};
    ++pending_size_;
  }
}

void ValueShape::count_line(std::uint32_t values) {
  // Most lines give as many values as the line before.
  if (last_count_ == kCounts || counts_[last_count_].values != values) {
    const Count* found = std::find_if(counts_, counts_ + counts_used_,
                                      [values](const Count& c) { return c.values == values; });
    last_count_ = static_cast<std::size_t>(found - counts_);
    // A count not seen before has a place of its own while there is one; then all share the
    // last, whose index is kCounts.
    if (last_count_ == counts_used_ && counts_used_ < kCounts)
      counts_[counts_used_++].values = values;
  }
  Count& count = counts_[last_count_];
  if (count.lines < kListed) {
    count.listed[count.lines] = lines_ + 1;  // after the header
    count.listed_values[count.lines] = values;
  }
  ++count.lines;
}

namespace {

// Items in one 16-byte vector, WebAssembly's only width: a period of lines (below) is a whole
// number of vectors, so that each place in a vector stays one column from period to period.
constexpr std::size_t kPeriodItems = 8;

// The ranges of each place of a period over `periods` periods of `period` items: a load, a
// byte swap, a minimum and a maximum for a vector of items at a time.
void range_of_periods(const unsigned char* __restrict items, std::size_t periods,
                      std::size_t period, std::int16_t* __restrict smallest,
                      std::int16_t* __restrict largest) {
  for (std::size_t p = 0; p < periods; ++p, items += period * kItemSize) {
    for (std::size_t i = 0; i < period; ++i) {
      const std::int16_t value = load_item(items + i * kItemSize);
      smallest[i] = std::min(smallest[i], value);
      largest[i] = std::max(largest[i], value);
    }
  }
}

}  // namespace

void ValueShape::keep_first_values(const unsigned char* items, std::size_t count) {
  const std::size_t kept = std::min(count, kFirstValues - first_values_kept_);
  for (std::size_t i = 0; i < kept; ++i)
    first_values_[first_values_kept_ + i] = load_item(items + i * kItemSize);
  first_values_kept_ += kept;
}

void ValueShape::take_items(const unsigned char* items, std::size_t size) {
  std::size_t left = size / kItemSize;
  keep_first_values(items, left);
  // A run of lines at a time: the items up to the end of the first pending run.
  while (left != 0) {
    while (pending_size_ != 0 && pending_[pending_first_].end <= items_) {
      run_start_ = pending_[pending_first_].end;
      if (++pending_first_ == kPending) pending_first_ = 0;
      --pending_size_;
    }
    std::size_t run = left;
    if (pending_size_ == 0) {
      // The line being written, whose end has not been told yet.
      take_run(items, run, items_ - run_start_);
    } else {
      const Run& first = pending_[pending_first_];
      run = static_cast<std::size_t>(std::min<std::uint64_t>(run, first.end - items_));
      take_lines(items, run, first.width, (items_ - run_start_) % first.width);
    }
    items += run * kItemSize;
    items_ += run;
    left -= run;
  }
}

void ValueShape::take_lines(const unsigned char* items, std::size_t count, std::uint64_t width,
                            std::uint64_t column) {
  if (column != 0) {
    const auto rest = static_cast<std::size_t>(std::min<std::uint64_t>(count, width - column));
    take_run(items, rest, column);
    items += rest * kItemSize;
    count -= rest;
  }
  // Whole lines, a period of them at a time: the fewest lines that make a whole number of
  // vectors of items. Worth it from two periods on; the ranges of the period's places are then
  // folded into their columns'.
  if (width <= kColumns) {
    const auto line = static_cast<std::size_t>(width);
    const std::size_t period = std::lcm(line, kPeriodItems);
    if (count >= 2 * period) {
      std::int16_t period_smallest[kColumns * kPeriodItems];
      std::int16_t period_largest[kColumns * kPeriodItems];
      std::fill(period_smallest, period_smallest + period, INT16_MAX);
      std::fill(period_largest, period_largest + period, INT16_MIN);
      const std::size_t periods = count / period;
      range_of_periods(items, periods, period, period_smallest, period_largest);
      for (std::size_t i = 0; i < period; ++i) {
        const std::size_t k = i % line;
        smallest_[k] = std::min(smallest_[k], period_smallest[i]);
        largest_[k] = std::max(largest_[k], period_largest[i]);
      }
      columns_ = std::max(columns_, line);
      items += periods * period * kItemSize;
      count -= periods * period;
    }
  }
  while (count != 0) {
    const auto line = static_cast<std::size_t>(std::min<std::uint64_t>(count, width));
    take_run(items, line, 0);
    items += line * kItemSize;
    count -= line;
  }
}

void ValueShape::take_run(const unsigned char* items, std::size_t run, std::uint64_t column) {
  if (column >= kColumns) return;
  const auto first = static_cast<std::size_t>(column);
  const std::size_t count = std::min(run, kColumns - first);
  columns_ = std::max(columns_, first + count);
  range_of_periods(items, 1, count, smallest_ + first, largest_ + first);
}

const ValueShape::Count* ValueShape::common() const {
  if (counts_used_ == 0) return nullptr;
  return std::max_element(counts_, counts_ + counts_used_,
                          [](const Count& a, const Count& b) { return a.lines < b.lines; });
}

std::uint32_t ValueShape::common_count() const {
  const Count* count = common();
  return count != nullptr ? count->values : 0;
}

std::uint64_t ValueShape::lines_with_common_count() const {
  const Count* count = common();
  return count != nullptr ? count->lines : 0;
}

std::size_t ValueShape::odd_lines(std::uint64_t* line_numbers, std::uint32_t* counts) const {
  // The first odd lines are among the first listed of each other count.
  struct Line {
    std::uint64_t number;
    std::uint32_t values;
  };
  Line odd[(kCounts + 1) * kListed];
  std::size_t found = 0;
  const Count* const usual = common();
  for (const Count& count : counts_) {
    if (&count == usual) continue;
    const auto listed = static_cast<std::size_t>(std::min<std::uint64_t>(count.lines, kListed));
    for (std::size_t i = 0; i < listed; ++i)
      odd[found++] = {count.listed[i], count.listed_values[i]};
  }
  std::sort(odd, odd + found, [](const Line& a, const Line& b) { return a.number < b.number; });
  found = std::min(found, kListed);
  for (std::size_t i = 0; i < found; ++i) {
    line_numbers[i] = odd[i].number;
    counts[i] = odd[i].values;
  }
  return found;
}

}  // namespace mirtak
