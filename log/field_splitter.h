// Splits a data line into fields and converts every field after the first into a value.
//
// Only the space separates fields. A field is the run of spaces that separates it from the field
// before, then its own run of other characters; the spaces at the start of a line belong to the
// first field. So A··1·2 has the fields A, ··1 and ·2, and spaces before the end of a line start
// one more field, whose value is 0. The first field is dropped; each further field gives one
// value (see log/number.h), however many fields the line has and however long they are.
//
// The line arrives in pieces of any size, so a field may be cut anywhere: all that is carried
// from one piece to the next is where the current field and its number stand.
#pragma once

#include "log/line_ends.h"
#include "log/number.h"
#include "output/value_writer.h"

namespace mirtak {

inline constexpr unsigned char kFieldSeparator = ' ';

class FieldSplitter {
 public:
  explicit FieldSplitter(ValueWriter& out) : out_(out) {}

  // Takes the next piece of the current line, without its newline.
  void feed(const unsigned char* data, const unsigned char* end);

  // The newline: ends the line's last field and starts a new line.
  void end_line();

  // Whether the splitter stands between two fields (no character of the next one seen yet),
  // and whether the next field is the line's first.
  bool between_fields() const { return !begun_; }
  bool in_first_field() const { return first_field_; }

  // Tells `ends` of each line's end from now on.
  void observe_line_ends(LineEnds& ends) { line_ends_ = &ends; }

  // Goes on between two fields, up to which the line was split another way.
  void resume(bool first_field) {
    first_field_ = first_field;
    begun_ = false;
    number_ = Number();
  }

 private:
  void end_field();

  ValueWriter& out_;
  LineEnds* line_ends_ = nullptr;
  bool first_field_ = true;
  bool begun_ = false;  // the field holds a character other than a space: a space ends it
  Number number_;
};

}  // namespace mirtak
