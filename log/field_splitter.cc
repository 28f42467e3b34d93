#include "log/field_splitter.h"

namespace mirtak {

void FieldSplitter::feed(const unsigned char* data, const unsigned char* end, LinePlace& place) {
  while (data != end) {
    if (place == LinePlace::kInValue) {
      Number number = number_;  // kept in registers
      for (; data != end && *data != kFieldSeparator; ++data)
        number.take(*data);
      if (data == end) {
        number_ = number;
        return;
      }
      out_.put(number.value());
      number_ = Number();
      place = LinePlace::kAfterField;
    } else if (place == LinePlace::kFirstField) {
      for (; data != end && *data != kFieldSeparator; ++data) {
      }
      if (data == end) return;
      place = LinePlace::kAfterField;
    } else if (*data != kFieldSeparator) {
      // A field starts: the line's first after leading spaces, else a value.
      place = place == LinePlace::kLeadingSpaces ? LinePlace::kFirstField : LinePlace::kInValue;
      continue;
    }
    ++data;  // a separator
  }
}

// The line's last field gives a value unless it is the first; spaces before the newline start
// a field of their own, whose value is 0.
void FieldSplitter::end_line(LinePlace place) {
  if (place == LinePlace::kInValue || place == LinePlace::kAfterField) out_.put(number_.value());
  out_.end_line();
  number_ = Number();
}

}  // namespace mirtak
