// Where the reading of a log stands: the one record of it that the plain reader keeps from byte
// to byte and block to block, and that the plain reader and the fast way (log/fast_lines.h) hand
// to each other. The fast way's masks carry the same from chunk to chunk as bits
// (log/chunk_masks.h), and read it back at any byte of a stretch (FastLines::place_at).
#pragma once

namespace mirtak {

enum class LinePlace : unsigned char {
  kHeader,         // in the first line, which is skipped whatever it holds
  kLineStart,      // nothing of the line read yet: a "+" here ends the data
  kLeadingSpaces,  // only spaces: the next field is the line's first, which is dropped
  kFirstField,     // in the line's first field
  kAfterField,     // after a field and the space that ended it: the next field is a value
  kInValue,        // in a field whose number is being read
};

// The places between two fields of a data line, where the plain reader and the fast way hand
// over to each other: all either needs to know of the line so far.
constexpr bool between_fields(LinePlace place) {
  return place == LinePlace::kLineStart || place == LinePlace::kLeadingSpaces ||
         place == LinePlace::kAfterField;
}

}  // namespace mirtak
