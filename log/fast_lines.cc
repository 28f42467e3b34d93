#include "log/fast_lines.h"

#include <algorithm>
#include <cstring>

#include "log/line_reader.h"
#include "log/text_filter.h"

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

}  // namespace

std::size_t FastLines::convert(const unsigned char* data, const unsigned char* end) {
  const unsigned char* at = data;
  while (at != end) {
    if (stretch_ == nullptr || at < stretch_ || at >= stretch_ + stretch_size_)
      map_stretch(at, end);
    std::size_t line = static_cast<std::size_t>(at - stretch_);
    const Stop stop = walk(line, end);
    const bool no_whole_line = line == 0;  // a line longer than a stretch
    at = stretch_ + line;
    if (stop == Stop::kPlainLine || stretch_ + stretch_size_ == end || no_whole_line) break;
    stretch_ = nullptr;  // map again from the line the stretch cut
  }
  return static_cast<std::size_t>(at - data);
}

void FastLines::map_stretch(const unsigned char* from, const unsigned char* end) {
  stretch_ = from;
  stretch_size_ = std::min(kStretchSize, static_cast<std::size_t>(end - from));
  const std::size_t whole = stretch_size_ / kChunkSize;
  kernels_.classify(from, whole, classes_);
  std::size_t chunks = whole;
  if (const std::size_t rest = stretch_size_ % kChunkSize; rest != 0) {
    // The bytes after the end read as NUL; the walk never looks past the stretch.
    unsigned char last[kChunkSize] = {};
    std::memcpy(last, from + whole * kChunkSize, rest);
    kernels_.classify(last, 1, classes_ + whole);
    ++chunks;
  }
  derive_masks(chunks);
}

void FastLines::derive_masks(std::size_t chunks) {
  std::uint64_t field_end_before = 1;  // the stretch starts a line
  std::uint64_t newline_before = 1;
  bool borrow = false;
  for (std::size_t k = 0; k < chunks; ++k) {
    const ByteClasses& c = classes_[k];
    // A carriage return right before the newline ends a CR LF line and changes nothing else;
    // anywhere else it is dropped from the text, which may join two fields.
    const std::uint64_t next_newline = k + 1 < chunks ? classes_[k + 1].newline & 1 : 0;
    const std::uint64_t before_newline = (c.newline >> 1) | (next_newline << 63);
    const std::uint64_t line_end = c.newline | (c.carriage_return & before_newline);
    alters_text_bits_[k] = c.end_of_text | (c.carriage_return & ~before_newline);

    const std::uint64_t field_end = c.separator | line_end;
    const std::uint64_t starts = ~field_end & ((field_end << 1) | field_end_before);
    field_end_before = field_end >> 63;
    newline_bits_[k] = c.newline;
    field_start_bits_[k] = starts;
    skipped_space_bits_[k] = c.white_space_range & ~field_end;

    // The first field of each line is dropped. Subtracting the bit after each newline from the
    // starts and newlines borrows up to the next of them: that bit flips, and it is the line's
    // first start if the line has one.
    const std::uint64_t events = starts | c.newline;
    const std::uint64_t after_newline = (c.newline << 1) | newline_before;
    newline_before = c.newline >> 63;
    std::uint64_t rest = 0;
    const bool borrow_out = __builtin_sub_overflow(events, after_newline, &rest);
    borrow = __builtin_sub_overflow(rest, std::uint64_t{borrow ? 1u : 0u}, &rest) || borrow_out;
    value_start_bits_[k] = starts & ~(rest ^ events);
  }
}

FastLines::Stop FastLines::walk(std::size_t& line, const unsigned char* end) {
  const std::size_t first_line = line;
  const std::size_t next_alter = next_set(alters_text_bits_, line, stretch_size_);
  std::size_t next_skipped = next_set(skipped_space_bits_, line, stretch_size_);
  Stop stop = Stop::kStretchEnd;
  for (;;) {
    const std::size_t newline = next_set(newline_bits_, line, stretch_size_);
    if (newline == stretch_size_) break;
    std::size_t content = newline;
    if (content != line && stretch_[content - 1] == kCarriageReturn) --content;
    if (stretch_[line] == kTerminatorMark || next_alter < newline ||
        (next_skipped < newline && !values_read_fast(line, content, next_skipped))) {
      stop = Stop::kPlainLine;
      break;
    }
    // Spaces before the end of the line start one more field, which holds no number: its
    // last space stands for it.
    if (content != line && stretch_[content - 1] == kFieldSeparator &&
        next_set(field_start_bits_, line, content) != content) {
      value_start_bits_[(content - 1) / 64] |= std::uint64_t{1} << ((content - 1) % 64);
    }
    line = newline + 1;
  }
  write_values(first_line, line, end);
  return stop;
}

// A field whose text starts with a tab (or other white space that is not a separator) is read
// past it, which the kernels do not do; such bytes in the dropped first field do not matter.
bool FastLines::values_read_fast(std::size_t line, std::size_t content, std::size_t& next_skipped) {
  const std::size_t values = next_set(value_start_bits_, line, content);
  if (next_set(skipped_space_bits_, values, content) != content) return false;
  next_skipped = next_set(skipped_space_bits_, content, stretch_size_);
  return true;
}

void FastLines::write_values(std::size_t from, std::size_t to, const unsigned char* end) {
  const std::size_t count = kernels_.find_positions(value_start_bits_, from, to, value_offsets_);
  unsigned char* items = out_.reserve(count);
  kernels_.read_values(stretch_, value_offsets_, count, end, items);
  out_.commit(count);
}

}  // namespace mirtak
