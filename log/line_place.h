// Where a line stands, as the reading of a log (log/reading.h) carries it from byte to byte.
#pragma once

namespace mirtak {

enum class LinePlace : unsigned char {
  kHeader,         // in the first line, which is skipped whatever it holds
  kLineStart,      // nothing of the line read yet: a "+" here ends the data
  kLeadingSpaces,  // only spaces: the next field is the line's first, which is dropped
  kFirstField,     // in the line's first field
  kAfterField,     // after a field and the space that ended it: the next field is a value
  kInValue,        // in a field whose number is being read
  kEnded,          // the data has ended: nothing more is read
};

// The places between two fields of a data line, from which the vector steps go on
// (log/fast_way.h): all they need to know of the line so far.
constexpr bool between_fields(LinePlace place) {
  return place == LinePlace::kLineStart || place == LinePlace::kLeadingSpaces ||
         place == LinePlace::kAfterField;
}

}  // namespace mirtak
