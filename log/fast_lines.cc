#include "log/fast_lines.h"

#include <algorithm>
#include <cstring>

namespace mirtak {

namespace {

constexpr std::uint64_t kAllBits = ~std::uint64_t{0};

// The first set bit at or after from, or limit if there is none before limit.
std::size_t next_set(const std::uint64_t* bits, std::size_t from, std::size_t limit) {
  if (from >= limit) return limit;
  std::size_t k = from / 64;
  std::uint64_t word = bits[k] & (kAllBits << (from % 64));
  while (word == 0) {
    if (++k * 64 >= limit) return limit;
    word = bits[k];
  }
  return std::min(limit, k * 64 + static_cast<std::size_t>(__builtin_ctzll(word)));
}

// The last set bit before to (and at or after from), or `none` if there is none.
std::size_t last_set(const std::uint64_t* bits, std::size_t from, std::size_t to,
                     std::size_t none) {
  if (to <= from) return none;
  std::size_t k = (to - 1) / 64;
  std::uint64_t word = bits[k] & (kAllBits >> (63 - (to - 1) % 64));
  while (word == 0) {
    if (k * 64 <= from) return none;
    word = bits[--k];
  }
  const std::size_t at = k * 64 + 63 - static_cast<std::size_t>(__builtin_clzll(word));
  return at >= from ? at : none;
}

}  // namespace

std::size_t FastLines::convert(const unsigned char* data, const unsigned char* end,
                               LinePlace& place) {
  const unsigned char* at = data;
  while (at != end) {
    // The masks of the stretch mapped last still hold from here on if the plain reader, which
    // read the field before, left the line where they have it.
    if (stretch_ == nullptr || at < stretch_ || at >= stretch_ + cut_ ||
        place_at(static_cast<std::size_t>(at - stretch_)) != place) {
      map_stretch(at, end, place);
    }
    const auto from = static_cast<std::size_t>(at - stretch_);
    const std::size_t bad = next_set(plain_bits_, from, cut_);
    const std::size_t stop = bad < cut_ ? stop_before(bad) : cut_;
    write_values(from, stop, end);
    place = place_at(stop);
    at = stretch_ + stop;
    // The plain reader's turn: a field it must read, a field longer than a stretch, or the
    // field the block's end cuts. Else the next stretch starts where this one's fields end.
    if (bad < cut_ || stop == from || (stop != stretch_size_ && stretch_ + stretch_size_ == end)) {
      break;
    }
  }
  return static_cast<std::size_t>(at - data);
}

void FastLines::map_stretch(const unsigned char* from, const unsigned char* end, LinePlace place) {
  stretch_ = from;
  stretch_size_ = std::min(kStretchSize, static_cast<std::size_t>(end - from));
  first_place_ = place;
  MaskDeriver deriver(place, {newline_bits_, start_bits_, value_bits_, plain_bits_, value_offsets_,
                              values_before_});
  const std::size_t whole = stretch_size_ / kChunkSize;
  kernels_.map_chunks(from, whole, deriver);
  const bool more = from + stretch_size_ != end;
  if (const std::size_t rest = stretch_size_ % kChunkSize; rest != 0) {
    // The bytes after the stretch read as NUL, but for the one byte after it in the block: it
    // tells whether the stretch's last byte comes right before a newline.
    unsigned char last[kChunkSize] = {};
    std::memcpy(last, from + whole * kChunkSize, rest + (more ? 1 : 0));
    kernels_.map_chunks(last, 1, deriver);
  }
  deriver.end(more && from[stretch_size_] == kNewline);

  // The stretch's last complete field: everything if its last byte ends a field, else up to
  // the start of the field it cuts.
  const unsigned char last = from[stretch_size_ - 1];
  cut_ = last == kFieldSeparator || last == kNewline ? stretch_size_
                                                     : last_set(start_bits_, 0, stretch_size_, 0);
}

// Where the line stands at offset (0 to the stretch's size), by the masks.
LinePlace FastLines::place_at(std::size_t offset) const {
  if (offset == 0) return first_place_;
  const std::size_t before = offset - 1;
  if (((newline_bits_[before / 64] >> (before % 64)) & 1) != 0) return LinePlace::kLineStart;
  const std::size_t newline = last_set(newline_bits_, 0, offset, stretch_size_);
  const std::size_t line = newline == stretch_size_ ? 0 : newline + 1;
  const bool begun = (line == 0 && first_place_ == LinePlace::kAfterField) ||
                     last_set(start_bits_, line, offset, stretch_size_) != stretch_size_;
  return begun ? LinePlace::kAfterField : LinePlace::kLeadingSpaces;
}

// The start of the field that holds the byte at bad, which is no field end: the plain reader
// reads from there.
std::size_t FastLines::stop_before(std::size_t bad) const {
  return last_set(start_bits_, 0, bad + 1, 0);
}

// How many values of the stretch come before offset (0 to the stretch's size).
std::size_t FastLines::values_before(std::size_t offset) const {
  const std::size_t k = offset / 64;
  const std::uint64_t below = (std::uint64_t{1} << (offset % 64)) - 1;
  const std::uint64_t bits = offset % 64 == 0 ? 0 : value_bits_[k] & below;
  return values_before_[k] + static_cast<std::size_t>(__builtin_popcountll(bits));
}

void FastLines::write_values(std::size_t from, std::size_t to, const unsigned char* end) {
  const std::size_t first = values_before(from);
  const std::size_t count = values_before(to) - first;
  unsigned char* items = out_.reserve(count);
  kernels_.read_values(stretch_, value_offsets_ + first, count, end, items);
  out_.commit(count);
  if (line_ends_ != nullptr) report_line_ends(from, to, out_.items() - count);  // Line ends
}

// Line ends: each newline in [from, to) ends a line, whose values (the trailing spaces' 0 at
// the newline included) are those of the stretch before the byte after it.
void FastLines::report_line_ends(std::size_t from, std::size_t to,
                                 std::uint64_t items_before) const {
  const std::size_t first = values_before(from);
  for (std::size_t at = next_set(newline_bits_, from, to); at != to;
       at = next_set(newline_bits_, at + 1, to)) {
    line_ends_->line_ended(items_before + (values_before(at + 1) - first));
  }
}

}  // namespace mirtak
