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

#include "log/byte_rules.h"
#include "log/field_splitter.h"
#include "log/line_place.h"

namespace mirtak {

class LineReader {
 public:
  explicit LineReader(FieldSplitter& fields) : fields_(fields) {}

  // Takes the next piece of the log's text and passes data lines on to the splitter. Returns
  // false once the terminator line is met: nothing more is wanted, and nothing more is given.
  bool feed(const unsigned char* data, std::size_t size);

  // The end of the input or of the data: finishes a last data line that had no newline.
  void finish();

  // Where the reader stands.
  LinePlace place() const { return place_; }

  // Goes on from a place between two fields, up to which the line was read another way.
  void resume_at(LinePlace place) {
    place_ = place;
    fields_.resume();
  }

 private:
  FieldSplitter& fields_;
  LinePlace place_ = LinePlace::kHeader;
};

}  // namespace mirtak
