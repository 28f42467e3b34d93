// Splits a data line into fields and converts every field after the first into a value.
//
// Only the space separates fields. A field is the run of spaces that separates it from the field
// before, then its own run of other characters; the spaces at the start of a line belong to the
// first field. So A··1·2 has the fields A, ··1 and ·2, and spaces before the end of a line start
// one more field, whose value is 0. The first field is dropped; each further field gives one
// value (see log/number.h), however many fields the line has and however long they are.
//
// The line arrives in pieces of any size, so a field may be cut anywhere: all that is carried
// from one piece to the next is where the line stands (kept by the line reader) and the number
// of the current field.
#pragma once

#include "log/byte_rules.h"
#include "log/line_place.h"
#include "log/number.h"
#include "output/value_writer.h"

namespace mirtak {

class FieldSplitter {
 public:
  explicit FieldSplitter(ValueWriter& out) : out_(out) {}

  // Takes the next piece of the current line, without its newline, from `place` (a place in
  // a data line, after its start), and leaves in `place` where the line then stands.
  void feed(const unsigned char* data, const unsigned char* end, LinePlace& place);

  // The newline: ends the line's last field.
  void end_line(LinePlace place);

  // Goes on between two fields, up to which the line was split another way.
  void resume() { number_ = Number(); }

 private:
  ValueWriter& out_;
  Number number_;  // of the current value field; a new one at every other place
};

}  // namespace mirtak
