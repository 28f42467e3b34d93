#include "web/value_shape.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace mirtak {

void ValueShape::line_ended(std::uint64_t values) {
  ++lines_;
  const std::uint64_t count = values - last_end_;
  count_line(static_cast<std::uint32_t>(std::min<std::uint64_t>(count, UINT32_MAX)));
  if (first_lines_kept_ < kFirstLines && values <= kFirstValues)
    first_line_ends_[first_lines_kept_++] = static_cast<std::uint32_t>(values);
  // A line without values starts no column; the next item's line is found by the ends of lines
  // that have values.
  if (count != 0 && values > items_ && pending_size_ < kPending) {
    pending_[(pending_first_ + pending_size_) % kPending] = values;
    ++pending_size_;
  }
  if (count != 0 && values <= items_) line_start_ = values;
  last_end_ = values;
}

void ValueShape::count_line(std::uint32_t values) {
  Count* count = std::find_if(counts_, counts_ + counts_used_,
                              [values](const Count& c) { return c.values == values; });
  if (count == counts_ + counts_used_) {
    count = counts_used_ < kCounts ? &counts_[counts_used_++] : &counts_[kCounts];
    if (count != &counts_[kCounts]) count->values = values;
  }
  if (count->lines < kListed) {
    count->listed[count->lines] = lines_ + 1;  // after the header
    count->listed_values[count->lines] = values;
  }
  ++count->lines;
}

namespace {

std::int16_t item_value(const unsigned char* item) {
  return static_cast<std::int16_t>((item[0] << 8) | item[1]);
}

}  // namespace

void ValueShape::take_items(const unsigned char* items, std::size_t size) {
  // A run at a time: the items up to the next line's start, whose columns follow one another.
  for (std::size_t left = size / kItemSize; left != 0;) {
    while (pending_size_ != 0 && pending_[pending_first_] <= items_) {
      line_start_ = pending_[pending_first_];
      pending_first_ = (pending_first_ + 1) % kPending;
      --pending_size_;
    }
    std::size_t run = left;
    if (pending_size_ != 0)
      run =
          static_cast<std::size_t>(std::min<std::uint64_t>(run, pending_[pending_first_] - items_));
    take_run(items, run, items_ - line_start_);
    items += run * kItemSize;
    items_ += run;
    left -= run;
  }
}

void ValueShape::take_run(const unsigned char* items, std::size_t run, std::uint64_t column) {
  for (std::size_t i = 0; i < run && first_values_kept_ < kFirstValues; ++i)
    first_values_[first_values_kept_++] = item_value(items + i * kItemSize);
  if (column >= kColumns) return;
  const auto first = static_cast<std::size_t>(column);
  const std::size_t count = std::min(run, kColumns - first);
  // Columns seen for the first time start from their first value.
  for (std::size_t k = columns_; k < first + count; ++k) {
    smallest_[k] = INT16_MAX;
    largest_[k] = INT16_MIN;
  }
  columns_ = std::max(columns_, first + count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::int16_t value = item_value(items + i * kItemSize);
    smallest_[first + i] = std::min(smallest_[first + i], value);
    largest_[first + i] = std::max(largest_[first + i], value);
  }
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
