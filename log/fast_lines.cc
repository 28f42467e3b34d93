#include "log/fast_lines.h"

#include <algorithm>
#include <cstring>

#include "log/line_reader.h"
#include "log/number.h"

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

// The value of the field whose characters start at p; its line's newline lies before end.
std::int16_t value_at(const unsigned char* p, const unsigned char* end) {
  const bool negative = *p == '-';
  if (is_sign(*p)) ++p;
  const std::uint64_t word = load_bytes(p, end);
  const int count = leading_digits(word);
  if (count == 0) return 0;
  std::uint32_t magnitude = digits_value(word, count);
  if (count == 8) {
    for (p += 8; is_digit(*p); ++p)
      magnitude = append_digit(magnitude, *p);
  }
  return to_value(magnitude, negative);
}

}  // namespace

std::size_t FastLines::convert(const unsigned char* data, const unsigned char* end) {
  const unsigned char* at = data;
  while (at != end) {
    if (span_ == nullptr || at < span_ || at >= span_ + span_size_) sort(at, end);
    std::size_t line = static_cast<std::size_t>(at - span_);
    const Stop stop = walk(line, end);
    const bool whole_line_unsorted = line == 0;
    at = span_ + line;
    if (stop == Stop::kPlainLine || span_ + span_size_ == end || whole_line_unsorted) break;
    span_ = nullptr;  // sort again from the line the stretch cut
  }
  return static_cast<std::size_t>(at - data);
}

void FastLines::sort(const unsigned char* from, const unsigned char* end) {
  span_ = from;
  span_size_ = std::min(kSpanSize, static_cast<std::size_t>(end - from));
  const std::size_t whole = span_size_ / kChunkSize;
  classify_(from, whole, classes_);
  std::size_t chunks = whole;
  if (const std::size_t rest = span_size_ % kChunkSize; rest != 0) {
    // The bytes after the end read as NUL; the walk never looks past the stretch.
    unsigned char last[kChunkSize] = {};
    std::memcpy(last, from + whole * kChunkSize, rest);
    classify_(last, 1, classes_ + whole);
    ++chunks;
  }
  derive_masks(chunks);
}

void FastLines::derive_masks(std::size_t chunks) {
  std::uint64_t separator_before = 1;  // the stretch starts a line
  for (std::size_t k = 0; k < chunks; ++k) {
    const ByteClasses& c = classes_[k];
    const std::uint64_t separator = c.space | c.newline;
    newline_[k] = c.newline;
    field_start_[k] = ~separator & ((separator << 1) | separator_before);
    separator_before = separator >> 63;
    // A carriage return right before the newline ends a CR LF line and changes nothing else.
    const std::uint64_t next_newline = k + 1 < chunks ? classes_[k + 1].newline & 1 : 0;
    const std::uint64_t before_newline = (c.newline >> 1) | (next_newline << 63);
    alters_text_[k] = c.end_of_text | (c.carriage_return & ~before_newline);
    not_number_[k] = ~(separator | c.number);
  }
}

FastLines::Stop FastLines::walk(std::size_t& line, const unsigned char* end) {
  const std::size_t next_alter = next_set(alters_text_, line, span_size_);
  std::size_t next_odd = line;  // not yet looked for
  for (;;) {
    const std::size_t newline = next_set(newline_, line, span_size_);
    if (newline == span_size_) return Stop::kSpanEnd;
    if (span_[line] == kTerminatorMark || next_alter < newline) return Stop::kPlainLine;
    std::size_t content = newline;
    if (content != line && span_[content - 1] == '\r') --content;
    if (!convert_line(line, content, next_odd, end)) return Stop::kPlainLine;
    line = newline + 1;
  }
}

bool FastLines::convert_line(std::size_t line, std::size_t content, std::size_t& next_odd,
                             const unsigned char* end) {
  const std::size_t first = next_set(field_start_, line, content);
  if (first == content) return true;  // nothing but spaces: no fields after the first
  const std::size_t second = next_set(field_start_, first + 1, content);
  if (second != content) {
    if (next_odd < second) next_odd = next_set(not_number_, second, span_size_);
    if (next_odd < content) return false;
    for (std::size_t k = second / 64; k * 64 < content; ++k) {
      std::uint64_t starts = field_start_[k];
      if (k == second / 64) starts &= kAllBits << (second % 64);
      if ((k + 1) * 64 > content) starts &= ~(kAllBits << (content % 64));
      for (; starts != 0; starts &= starts - 1) {
        out_.put(value_at(span_ + k * 64 + static_cast<std::size_t>(__builtin_ctzll(starts)), end));
      }
    }
  }
  // Spaces before the end of the line start one more field, which holds no number.
  if (span_[content - 1] == ' ') out_.put(0);
  return true;
}

}  // namespace mirtak
