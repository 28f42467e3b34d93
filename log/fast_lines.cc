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
                               FieldBoundary& place) {
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

void FastLines::map_stretch(const unsigned char* from, const unsigned char* end,
                            FieldBoundary place) {
  stretch_ = from;
  stretch_size_ = std::min(kStretchSize, static_cast<std::size_t>(end - from));
  first_place_ = place;
  const std::size_t whole = stretch_size_ / kChunkSize;
  kernels_.classify(from, whole, classes_);
  std::size_t chunks = whole;
  const bool more = from + stretch_size_ != end;
  if (const std::size_t rest = stretch_size_ % kChunkSize; rest != 0) {
    // The bytes after the stretch read as NUL, but for the one byte after it in the block: it
    // tells whether the stretch's last byte comes right before a newline.
    unsigned char last[kChunkSize] = {};
    std::memcpy(last, from + whole * kChunkSize, rest + (more ? 1 : 0));
    kernels_.classify(last, 1, classes_ + whole);
    ++chunks;
  }
  derive_masks(chunks, more && from[stretch_size_] == kNewline);

  // The stretch's last complete field: everything if its last byte ends a field, else up to
  // the start of the field it cuts.
  const std::size_t last = stretch_size_ - 1;
  const std::uint64_t ends_field =
      (classes_[last / 64].separator | classes_[last / 64].newline) >> (last % 64);
  cut_ = (ends_field & 1) != 0 ? stretch_size_ : last_set(start_bits_, 0, stretch_size_, 0);
}

// Per chunk, with what carries over from the chunk before:
//   field ends   the separator and the newline;
//   starts       a byte that is no field end, after one (a stretch starts after one);
//   first start  of each line, the dropped field: subtracting the bit at each line's start (and
//                at the stretch's start when the line has not begun) from the starts and
//                newlines borrows up to the next of them, so the bits that change run from the
//                line's start to its first start, or to its newline if it has none;
//   values       every other start, and a newline right after a space in a line that has begun
//                (the field of trailing spaces; reading there gives 0);
//   plain        a byte of 0x08..0x0F (but a newline, or a byte right before one), a Ctrl-Z,
//                and a "+" that starts a line.
// A carriage return right before the newline is read as a character of the line's last field:
// the number before it ends there, and alone after spaces it reads as the 0 of the trailing
// spaces it then ends, just as if it were dropped. (In the first field it is dropped with it.)
void FastLines::derive_masks(std::size_t chunks, bool newline_follows) {
  std::uint64_t field_end_before = 1;
  std::uint64_t newline_before = first_place_ == FieldBoundary::kLineStart ? 1 : 0;
  std::uint64_t line_open_before = first_place_ != FieldBoundary::kAfterField ? 1 : 0;
  std::uint64_t space_before = first_place_ != FieldBoundary::kLineStart ? 1 : 0;
  bool borrow = false;
  for (std::size_t k = 0; k < chunks; ++k) {
    const ByteClasses& c = classes_[k];
    const std::uint64_t field_end = c.separator | c.newline;
    const std::uint64_t starts = ~field_end & ((field_end << 1) | field_end_before);
    const std::uint64_t line_starts = (c.newline << 1) | newline_before;
    const std::uint64_t open_lines = (c.newline << 1) | line_open_before;
    const std::uint64_t after_space = (c.separator << 1) | space_before;
    field_end_before = field_end >> 63;
    newline_before = c.newline >> 63;
    line_open_before = c.newline >> 63;
    space_before = c.separator >> 63;

    const std::uint64_t events = starts | c.newline;
    std::uint64_t rest = 0;
    const bool borrow_out = __builtin_sub_overflow(events, open_lines, &rest);
    borrow = __builtin_sub_overflow(rest, std::uint64_t{borrow ? 1u : 0u}, &rest) || borrow_out;
    const std::uint64_t not_begun = rest ^ events;  // from a line's start to its first event

    const std::uint64_t next_newline =
        k + 1 < chunks ? classes_[k + 1].newline & 1 : (newline_follows ? 1 : 0);
    const std::uint64_t before_newline = (c.newline >> 1) | (next_newline << 63);

    newline_bits_[k] = c.newline;
    start_bits_[k] = starts;
    value_bits_[k] = (starts | (c.newline & after_space)) & ~not_begun;
    plain_bits_[k] = (c.white_space_range & ~c.newline & ~before_newline) | c.end_of_text |
                     (c.plus & line_starts);
  }
}

// Where the line stands at offset (0 to the stretch's size), by the masks.
FieldBoundary FastLines::place_at(std::size_t offset) const {
  if (offset == 0) return first_place_;
  const std::size_t before = offset - 1;
  if (((newline_bits_[before / 64] >> (before % 64)) & 1) != 0) return FieldBoundary::kLineStart;
  const std::size_t newline = last_set(newline_bits_, 0, offset, stretch_size_);
  const std::size_t line = newline == stretch_size_ ? 0 : newline + 1;
  const bool begun = (line == 0 && first_place_ == FieldBoundary::kAfterField) ||
                     last_set(start_bits_, line, offset, stretch_size_) != stretch_size_;
  return begun ? FieldBoundary::kAfterField : FieldBoundary::kLeadingSpaces;
}

// The start of the field that holds the byte at bad, which is no field end: the plain reader
// reads from there.
std::size_t FastLines::stop_before(std::size_t bad) const {
  return last_set(start_bits_, 0, bad + 1, 0);
}

void FastLines::write_values(std::size_t from, std::size_t to, const unsigned char* end) {
  const std::size_t count = kernels_.find_positions(value_bits_, from, to, value_offsets_);
  unsigned char* items = out_.reserve(count);
  kernels_.read_values(stretch_, value_offsets_, count, end, items);
  out_.commit(count);
}

}  // namespace mirtak
