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
    unsigned char* items = out_.reserve(kStretchSize + kValueSlack);
    map_stretch(at, end, place, items);
    // The values read of the fields before the first the plain reader must read, or before the
    // field the stretch's end cuts, are kept.
    const std::size_t bad = next_set(masks_.plain, 0, stretch_size_);
    const std::size_t stop = bad < stretch_size_ ? stop_before(bad) : cut_;
    if (out_.observed()) end_lines(stop);
    out_.commit(values_before(stop));
    place = place_at(stop);
    const bool block_ends = at + stretch_size_ == end;
    at += stop;
    // The plain reader's turn: a field it must read, a field longer than a stretch, or the
    // field the block's end cuts. Else the next stretch starts where this one's fields end.
    if (bad < stretch_size_ || stop == 0 || (block_ends && stop != stretch_size_)) break;
  }
  return static_cast<std::size_t>(at - data);
}

void FastLines::map_stretch(const unsigned char* from, const unsigned char* end, LinePlace place,
                            unsigned char* items) {
  const auto room = static_cast<std::size_t>(end - from);
  const std::size_t size = std::min(kStretchSize, room);
  first_place_ = place;
  MaskDeriver deriver(place, masks_);
  // The kernels read ahead of their chunks: the chunks that have that much of the block after
  // them are read where they lie, the last few from a copy.
  const std::size_t in_place =
      room < kReadAhead ? 0 : std::min(size, room - kReadAhead) / kChunkSize;
  std::size_t mapped = kernels_.map_chunks(from, in_place, end, deriver, items) * kChunkSize;
  if (!deriver.plain_found() && mapped < size) {
    // The bytes after the stretch read as NUL, but for the one byte after it in the block: it
    // tells whether the stretch's last byte comes right before a newline.
    unsigned char last[2 * kChunkSize + kReadAhead] = {};
    const std::size_t rest = size - mapped;
    std::memcpy(last, from + mapped, rest + (size != room ? 1 : 0));
    mapped += kernels_.map_chunks(last, (rest + kChunkSize - 1) / kChunkSize, last + sizeof last,
                                  deriver, items + kItemSize * deriver.values_so_far()) *
              kChunkSize;
  }
  // Mapping stops early at a byte for the plain reader.
  stretch_size_ = std::min(size, mapped);
  deriver.end(stretch_size_ != room && from[stretch_size_] == kNewline);

  // The stretch's last complete field: everything if its last byte ends a field, else up to
  // the start of the field it cuts.
  const unsigned char last = from[stretch_size_ - 1];
  cut_ = last == kFieldSeparator || last == kNewline ? stretch_size_
                                                     : last_set(masks_.starts, 0, stretch_size_, 0);
}

// Where the line stands at offset (0 to the stretch's size), by the masks.
LinePlace FastLines::place_at(std::size_t offset) const {
  if (offset == 0) return first_place_;
  const std::size_t before = offset - 1;
  if (((masks_.newline[before / 64] >> (before % 64)) & 1) != 0) return LinePlace::kLineStart;
  const std::size_t newline = last_set(masks_.newline, 0, offset, stretch_size_);
  const std::size_t line = newline == stretch_size_ ? 0 : newline + 1;
  const bool begun = (line == 0 && first_place_ == LinePlace::kAfterField) ||
                     last_set(masks_.starts, line, offset, stretch_size_) != stretch_size_;
  return begun ? LinePlace::kAfterField : LinePlace::kLeadingSpaces;
}

// The start of the field that holds the byte at bad, which is no field end: the plain reader
// reads from there.
std::size_t FastLines::stop_before(std::size_t bad) const {
  return last_set(masks_.starts, 0, bad + 1, 0);
}

// How many values of the stretch come before offset (0 to the stretch's size).
std::size_t FastLines::values_before(std::size_t offset) const {
  const std::size_t k = offset / 64;
  const std::uint64_t below = (std::uint64_t{1} << (offset % 64)) - 1;
  const std::uint64_t bits = offset % 64 == 0 ? 0 : masks_.values[k] & below;
  return masks_.values_before[k] + static_cast<std::size_t>(__builtin_popcountll(bits));
}

// Tells the writer of each newline before `to`: its line's values (the trailing spaces' 0 at the
// newline included) end with those of the stretch before the byte after it.
void FastLines::end_lines(std::size_t to) const {
  for (std::size_t at = next_set(masks_.newline, 0, to); at != to;
       at = next_set(masks_.newline, at + 1, to)) {
    out_.end_line(values_before(at + 1));
  }
}

}  // namespace mirtak
