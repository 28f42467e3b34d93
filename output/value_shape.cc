#include "output/value_shape.h"

#include <algorithm>
#include <iterator>

namespace mirtak {

ValueShape::ValueShape() {
  std::fill(std::begin(smallest_), std::end(smallest_), INT16_MAX);
  std::fill(std::begin(largest_), std::end(largest_), INT16_MIN);
  for (std::size_t c = 0; c <= kColumns; ++c)
    counts_[c].values = c;
}

void ValueShape::take_values(const unsigned char* items, std::size_t count) {
  values_ += count;
  const std::uint64_t first = column_;
  column_ += count;
  if (first >= kColumns) return;
  const auto from = static_cast<std::size_t>(first);
  const std::size_t kept = std::min(count, kColumns - from);
  std::int16_t* const low = smallest_ + from;
  std::int16_t* const high = largest_ + from;
  for (std::size_t i = 0; i < kept; ++i) {
    const std::int16_t value = load_item(items + i * kItemSize);
    low[i] = std::min(low[i], value);
    high[i] = std::max(high[i], value);
  }
  columns_ = std::max(columns_, from + kept);
}

void ValueShape::line_ended() {
  Count& count = count_of(column_);
  if (count.lines < kListed) {
    count.listed[count.lines] = lines_ + 2;  // the header is line 1
    count.listed_values[count.lines] = column_;
  }
  ++count.lines;
  ++lines_;
  widest_ = std::max(widest_, column_);
  column_ = 0;
}

ValueShape::Count& ValueShape::count_of(std::uint64_t values) {
  if (values <= kColumns) return counts_[values];
  if (last_count_ != nullptr && last_count_->values == values) return *last_count_;
  Count* const wide = counts_ + kColumns + 1;
  for (std::uint64_t slot = values * 0x9E3779B97F4A7C15u >> 40;; ++slot) {
    Count& c = wide[slot & (kWideSlots - 1)];
    if (c.values != values) {
      if (c.values != 0) continue;
      if (wide_used_ == kWideCounts) return counts_[kShared];
      c.values = values;  // a free slot: the count's own from now on
      ++wide_used_;
    }
    last_count_ = &c;
    return c;
  }
}

const ValueShape::Count* ValueShape::most_lines() const {
  const Count* most = nullptr;
  for (const Count* c = counts_; c != counts_ + kShared; ++c) {
    if (c->lines == 0) continue;
    if (most == nullptr || c->lines > most->lines ||
        (c->lines == most->lines && c->values < most->values)) {
      most = c;
    }
  }
  return most;
}

std::uint64_t ValueShape::values_per_line() const {
  const Count* most = most_lines();
  return most != nullptr ? most->values : 0;
}

std::uint64_t ValueShape::other_lines() const {
  const Count* most = most_lines();
  return most != nullptr ? lines_ - most->lines : 0;
}

// The first lines of another count are among the first listed of each other count: a pass over
// those for each line told, taking the next by line number.
std::size_t ValueShape::first_other_lines(OtherLine* out) const {
  const Count* const most = most_lines();
  std::size_t found = 0;
  std::uint64_t after = 0;  // the last line told; line numbers start at 2
  for (; found < kListed; ++found) {
    OtherLine next{UINT64_MAX, 0};
    for (const Count& c : counts_) {
      if (&c == most) continue;
      const auto listed = static_cast<std::size_t>(std::min<std::uint64_t>(c.lines, kListed));
      for (std::size_t i = 0; i < listed; ++i) {
        if (c.listed[i] > after && c.listed[i] < next.line)
          next = {c.listed[i], c.listed_values[i]};
      }
    }
    if (next.line == UINT64_MAX) break;
    out[found] = next;
    after = next.line;
  }
  return found;
}

}  // namespace mirtak
