// The fast way through ordinary data lines. A stretch of the log is first sorted 64 bytes at a
// time into bit masks (log/kernels.h); the lines are then walked by mask bit positions:
// where each line ends, where each field's characters start, and whether anything in the line
// needs the byte-at-a-time reader. The values of the lines taken are then read together, many
// fields at a time, straight into the value file's buffer.
//
// A line is taken here only if it is complete in the block and nothing in it changes the text
// or the way a value is read: no carriage return except one right before the newline, no
// Ctrl-Z, not the terminator, and no white space other than spaces (a tab, say, or another
// control byte from 0x08 to 0x0F) in any field after the first: a field is read from its first
// character, which then is a sign, a digit or text that reads as 0. The first field is dropped,
// so it may hold anything. Every other line is left to the plain reader, which gives the same
// values for every line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "log/kernels.h"
#include "output/value_writer.h"

namespace mirtak {

class FastLines {
 public:
  FastLines(ValueWriter& out, const Kernels& kernels) : out_(out), kernels_(kernels) {}

  // A new block: what was sorted of the last one no longer holds.
  void forget() { span_ = nullptr; }

  // Converts the data lines that start at data (which must be the start of a data line), up to
  // the first line it leaves to the plain reader or that is not complete before end. Returns
  // how many bytes it converted: always whole lines.
  std::size_t convert(const unsigned char* data, const unsigned char* end);

 private:
  static constexpr std::size_t kSpanChunks = 128;  // how much is sorted at a time: 8 KiB
  static constexpr std::size_t kSpanSize = kSpanChunks * kChunkSize;

  enum class Stop : unsigned char { kSpanEnd, kPlainLine };

  void sort(const unsigned char* from, const unsigned char* end);
  void derive_masks(std::size_t chunks);
  Stop walk(std::size_t& line, const unsigned char* end);
  bool values_read_fast(std::size_t line, std::size_t content, std::size_t& next_blank);
  void write_values(std::size_t from, std::size_t to, const unsigned char* end);

  ValueWriter& out_;
  Kernels kernels_;

  // The stretch sorted last, and what the walk needs of it, one bit per byte.
  const unsigned char* span_ = nullptr;
  std::size_t span_size_ = 0;
  ByteClasses classes_[kSpanChunks] = {};
  std::uint64_t newline_[kSpanChunks] = {};
  std::uint64_t field_start_[kSpanChunks] = {};  // first character of a field after spaces
  std::uint64_t value_start_[kSpanChunks] = {};  // the same, but for each line's first field
  std::uint64_t alters_text_[kSpanChunks] = {};  // a lone carriage return, a Ctrl-Z
  std::uint64_t blank_[kSpanChunks] = {};        // white space that does not separate fields

  // Where the values of the lines taken start, in the stretch: every field after the first,
  // and the last space of a line that ends in spaces (read as 0). At most one per byte.
  std::uint16_t value_at_[kSpanSize + kPositionSlack] = {};
  static_assert(kSpanSize <= 65536, "offsets in the stretch fit 16 bits");
};

}  // namespace mirtak
