// The fast way through the fields of data lines. A stretch of the log is classified a chunk at a
// time into bit masks (log/kernels.h); mask arithmetic on each chunk (log/chunk_masks.h) then
// gives where the fields start, which of them are values (not a line's first field), where a
// line ends in spaces (one more value, 0) and which bytes the plain reader must read. The values
// are read as the chunks are mapped (log/kernels.h), many at a time, straight into the value
// file's buffer; those of the fields the fast way takes are then counted in, the rest written
// over. Mapping stops at the first chunk that holds a byte for the plain reader.
//
// Sizes, from the largest: a block is what the decoder is given at a time (a read of the file);
// a stretch is the part of a block classified at a time (8 KiB); a chunk is what a kernel
// classifies in one step (64 bytes, one bit per byte in a 64-bit word).
//
// The fast way and the plain reader hand over to each other between two fields: at a line's
// start, in a line's leading spaces, or after a field (log/line_place.h). So a line of any
// length stays on the fast way, and the plain reader reads only the fields that need it: one
// that holds a byte of 0x08..0x0F (tab, vertical tab, form feed, a lone carriage return) or a
// Ctrl-Z, a terminator line, a field longer than a stretch, and the field a block's end cuts.
//
// The bytes of the log's rules have one home, log/byte_rules.h, which the plain reader and every
// kernel take them from. Each rule is applied once in the plain reader; where the fast way
// applies it another way, the byte sweep (tests/byte_sweep_test.cc: every byte in every place
// of a line) and the number sweep (tests/number_sweep_test.cc) check it on every kernel set:
//
//   rule                                 plain reader       fast way
//   white space                          number.h Number    the white-space range (byte_rules.h)
//   every CR is dropped                  text_filter        a CR right before the newline is read
//                                                           as a character of the line
//                                                           (chunk_masks.h); any other: plain
//   Ctrl-Z ends the input                text_filter        its field: plain reader
//   "+" first in a line ends the data    line_reader        its line: plain reader
//   lines end at the newline             line_reader        newline mask
//   only the space separates fields      field_splitter     separator mask
//   the first field is dropped           field_splitter     value starts (chunk_masks.h)
//   trailing spaces make one more 0      field_splitter     a value at the newline
//   sign, digits, 32-bit wrap, low 16    number.h Number    each kernel's value reading in
//                                                           map_chunks; long numbers by
//                                                           field_value (kernels.h)
//
// The fast way maps a new stretch each time it takes over, and never looks behind the place it
// starts at, which the plain reader may have rewritten: what it needs to know of the line so
// far comes as a LinePlace.
#pragma once

#include <cstddef>
#include <cstdint>

#include "log/kernels.h"
#include "log/line_place.h"
#include "output/value_writer.h"

namespace mirtak {

class FastLines {
 public:
  FastLines(ValueWriter& out, const Kernels& kernels) : out_(out), kernels_(kernels) {}

  // Converts the fields from data, which stands at `place`, as far as it can before end.
  // Returns how many bytes it took, and leaves in `place` where that stops: at the start of a
  // field (or line) the plain reader must read, of the field the end cuts, or at end itself.
  std::size_t convert(const unsigned char* data, const unsigned char* end, LinePlace& place);

 private:
  static_assert(kStretchSize <= 65536, "offsets in a stretch fit 16 bits");
  // A stretch holds at most one value per byte, and its values are reserved at once.
  static_assert(kStretchSize + kValueSlack <= ValueWriter::kMaxReserve,
                "a stretch's values must fit the writer's buffer");

  // Maps the stretch at from and reads its values to items.
  void map_stretch(const unsigned char* from, const unsigned char* end, LinePlace place,
                   unsigned char* items);
  LinePlace place_at(std::size_t offset) const;
  std::size_t stop_before(std::size_t bad) const;
  std::size_t values_before(std::size_t offset) const;
  void end_lines(std::size_t to) const;

  ValueWriter& out_;
  Kernels kernels_;

  // The stretch mapped last: its size, where it started, and what the masks know of it, one
  // bit per byte.
  std::size_t stretch_size_ = 0;
  LinePlace first_place_ = LinePlace::kLineStart;
  std::size_t cut_ = 0;      // where the stretch's last complete field ends
  StretchMasks masks_ = {};  // log/chunk_masks.h says what each holds
};

}  // namespace mirtak
