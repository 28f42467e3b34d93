// The fast way through ordinary data lines. A stretch of the log is first classified a chunk at
// a time into bit masks (log/kernels.h); the lines are then walked by mask bit positions: where
// each line ends, where each field's characters start, and whether anything in the line needs
// the plain reader. The values of the lines taken are then read together, many fields at a time,
// straight into the value file's buffer.
//
// Sizes, from the largest: a block is what the decoder is given at a time (a read of the file);
// a stretch is the part of a block classified at a time (8 KiB); a chunk is what a kernel
// classifies in one step (64 bytes, one bit per byte in a 64-bit word).
//
// Each rule of the log has one home in the plain reader. Where the fast way restates a rule, it
// is tied to that home by a constant it shares, a compile-time check, or the byte sweep
// (tests/byte_sweep_test.cc: every byte in every place of a line, on every kernel set):
//
//   rule                                 plain reader                fast way
//   white space: tab, LF, VT, FF, CR, ' ' number.h is_white_space     kernels.h white-space range
//                                                                    (static_assert over 256 bytes)
//   every CR dropped                     text_filter                 a CR right before the newline
//                                                                    ends the line (derive_masks);
//                                                                    any other: plain reader
//   Ctrl-Z ends the input                text_filter kEndOfText      its line: plain reader
//   "+" first in a line ends the data    line_reader kTerminatorMark its line: plain reader (walk)
//   lines end at the newline             line_reader kNewline        newline mask (derive_masks)
//   only the space separates fields      field_splitter              separator mask (derive_masks)
//     kFieldSeparator
//   the first field is dropped           field_splitter              value starts (derive_masks)
//   trailing spaces make one more 0      field_splitter              last space a value (walk)
//   sign, digits, 32-bit wrap, low 16    number.h Number             kernels' read_values; long
//                                                                    numbers by field_value
//
// A line is taken here only if it is complete in the block and nothing in it changes the text
// or the way a value is read: no carriage return except one right before the newline, no
// Ctrl-Z, not the terminator, and no white space other than spaces in a field after the first
// (a value field is read from its first character, which then is a sign, a digit or text that
// reads as 0). The first field is dropped, so it may hold anything. Every other line is left to
// the plain reader, which gives the same values for every line.
//
// The plain reader and the fast way rely on each other for three things:
//   - the text filter rewrites only the bytes it is given, so what the fast way classified of
//     the rest of the block still holds after the plain reader has read a line of it;
//   - what the fast way classified of a block is forgotten when the next block comes (forget()),
//     as the block's memory then holds other bytes;
//   - the fast way never looks behind the line it starts at, which the plain reader may have
//     rewritten.
#pragma once

#include <cstddef>
#include <cstdint>

#include "log/kernels.h"
#include "output/value_writer.h"

namespace mirtak {

class FastLines {
 public:
  FastLines(ValueWriter& out, const Kernels& kernels) : out_(out), kernels_(kernels) {}

  // A new block: what was classified of the last one no longer holds.
  void forget() { stretch_ = nullptr; }

  // Converts the data lines that start at data (which must be the start of a data line), up to
  // the first line it leaves to the plain reader or that is not complete before end. Returns
  // how many bytes it converted: always whole lines.
  std::size_t convert(const unsigned char* data, const unsigned char* end);

 private:
  static constexpr std::size_t kStretchChunks = 128;
  static constexpr std::size_t kStretchSize = kStretchChunks * kChunkSize;  // 8 KiB
  static_assert(kStretchSize <= 65536, "offsets in a stretch fit 16 bits");
  // A stretch holds at most one value per byte, and its values are reserved at once.
  static_assert(kStretchSize * kItemSize <= ValueWriter::kBufferSize,
                "a stretch's values must fit the writer's buffer");

  enum class Stop : unsigned char { kStretchEnd, kPlainLine };

  void map_stretch(const unsigned char* from, const unsigned char* end);
  void derive_masks(std::size_t chunks);
  Stop walk(std::size_t& line, const unsigned char* end);
  bool values_read_fast(std::size_t line, std::size_t content, std::size_t& next_skipped);
  void write_values(std::size_t from, std::size_t to, const unsigned char* end);

  ValueWriter& out_;
  Kernels kernels_;

  // The stretch mapped last, and what the walk needs of it, one bit per byte.
  const unsigned char* stretch_ = nullptr;
  std::size_t stretch_size_ = 0;
  ByteClasses classes_[kStretchChunks] = {};
  std::uint64_t newline_bits_[kStretchChunks] = {};
  std::uint64_t field_start_bits_[kStretchChunks] = {};    // a field's first character after spaces
  std::uint64_t value_start_bits_[kStretchChunks] = {};    // the same, but for each line's first
  std::uint64_t alters_text_bits_[kStretchChunks] = {};    // a lone carriage return, a Ctrl-Z
  std::uint64_t skipped_space_bits_[kStretchChunks] = {};  // white space that is no field's end

  // Where the values of the lines taken start, as offsets in the stretch: every field after
  // the first, and the last space of a line that ends in spaces (read as 0).
  std::uint16_t value_offsets_[kStretchSize + kPositionSlack] = {};
};

}  // namespace mirtak
