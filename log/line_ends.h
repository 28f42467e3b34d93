// Where the data lines end in the value stream. The value file has no line marks, so whoever
// shows a reader its shape (values per line, lines that differ) must learn it while the log is
// converted, from the same reading of fields that gave the values. The console tool has no use
// for it and observes nothing: every report is behind one null check, made per plain line and
// per run of lines the fast way converts.
#pragma once

#include <cstdint>

namespace mirtak {

class LineEnds {
 public:
  // A data line has ended; the value stream then holds `values` values in all (the values of
  // this line and of every line before it). Called once per data line, in order.
  virtual void line_ended(std::uint64_t values) = 0;

 protected:
  ~LineEnds() = default;
};

}  // namespace mirtak
