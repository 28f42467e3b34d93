// Splits a data line into fields and converts every field after the first into a value.
//
// Only the space separates fields. A field is the run of spaces that separates it from the field
// before, then its own run of other characters; the spaces at the start of a line belong to the
// first field. So A··1·2 has the fields A, ··1 and ·2, and spaces before the end of a line start
// one more field, whose value is 0. The first field is dropped; each further field gives one
// value (see log/number.h), however many fields the line has and however long they are.
//
// The line arrives in pieces of any size, so a field may be cut anywhere: all that is carried
// from one piece to the next is where the current field's number stands.
#pragma once

#include <cstdint>

#include "output/value_writer.h"

namespace mirtak {

class FieldSplitter {
 public:
  explicit FieldSplitter(ValueWriter& out) : out_(out) {}

  // Takes the next piece of the current line, without its newline.
  void feed(const unsigned char* data, const unsigned char* end);

  // The newline: ends the line's last field and starts a new line.
  void end_line();

 private:
  // Where the current field stands. Only kLeading has seen nothing but spaces; a space in any
  // other state ends the field.
  enum class State : unsigned char {
    kLeading,   // separator spaces
    kSkipping,  // other white space (a tab) before the number
    kSigned,    // a sign, waiting for the first digit
    kDigits,    // inside the digits
    kDone,      // the number has ended; the rest of the field is ignored
  };

  void end_field();

  ValueWriter& out_;
  State state_ = State::kLeading;
  bool first_field_ = true;
  bool negative_ = false;
  std::uint32_t magnitude_ = 0;
};

}  // namespace mirtak
