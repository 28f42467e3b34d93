// The line structure of a log: its first line is a header and is skipped, whatever it holds;
// then come data lines, up to the terminator, the first later line whose first character is
// "+". A line ends with its newline; an empty line is a data line that gives no values. The
// terminator and everything after it are never looked at. If the input ends first, that ends
// the data too, and a last line without a newline is still a data line.
//
// The text arrives in pieces of any size; only the position in the line structure is carried
// from one piece to the next, never a line itself.
#pragma once

#include <cstddef>
#include <optional>

#include "log/byte_rules.h"
#include "log/field_splitter.h"

namespace mirtak {

// A place between two fields of a data line, where the plain reader and the fast way
// (log/fast_lines.h) hand over to each other: all either needs to know of the line so far.
enum class FieldBoundary : unsigned char {
  kLineStart,      // nothing of the line read yet: a "+" here ends the data
  kLeadingSpaces,  // only spaces: the next field is the line's first, which is dropped
  kAfterField,     // after a field and the space that ended it: the next field is a value
};

class LineReader {
 public:
  explicit LineReader(FieldSplitter& fields) : fields_(fields) {}

  // Takes the next piece of the log's text and passes data lines on to the splitter. Returns
  // false once the terminator line is met: nothing more is wanted, and nothing more is given.
  bool feed(const unsigned char* data, std::size_t size);

  // The end of the input or of the data: finishes a last data line that had no newline.
  void finish();

  // Where the reader stands, if that is between two fields of a data line (not in the header,
  // not inside a field).
  std::optional<FieldBoundary> boundary() const;

  // Goes on from such a place, up to which the line was read another way.
  void resume_at(FieldBoundary place);

  bool in_header() const { return state_ == State::kHeader; }

 private:
  enum class State : unsigned char { kHeader, kLineStart, kInLine };

  FieldSplitter& fields_;
  State state_ = State::kHeader;
};

}  // namespace mirtak
