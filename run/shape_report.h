// How the companion command shows the shape of a log's values (output/value_shape.h): as text
// for people, or as one JSON array with an object per log. Each log's report is built whole in
// fixed storage and printed as one message, the log's name as the system gave it.
#pragma once

#include <cstddef>
#include <string_view>

#include "output/value_shape.h"
#include "run/console.h"
#include "run/file_name.h"

namespace mirtak {

// The text a report is built in: appended to, never past its room (what would not fit is left
// out, which a report of fixed parts never needs).
class ReportText {
 public:
  void add(std::string_view text);
  void add_number(long long number, bool grouped);
  void clear() { used_ = 0; }
  std::string_view text() const { return {chars_, used_}; }

 private:
  // A report of every column kept, and a name, with room to spare.
  static constexpr std::size_t kRoom = std::size_t{32} * 1024;
  // cppcheck-suppress uninitMemberVarPrivate ; only what add() fills is read
  char chars_[kRoom];
  std::size_t used_ = 0;
};

class ShapeReport {
 public:
  // cppcheck-suppress uninitMemberVar ; the buffers hold only what a report fills
  explicit ShapeReport(bool json) : json_(json) {}

  // Before the first log, and after the last.
  void begin(Console& out);
  void end(Console& out);

  // The report of one log, named as given on the command line.
  void print(Console& out, NameView log, const ValueShape& shape);

 private:
  void print_text(Console& out, NameView log, const ValueShape& shape);
  void print_json(Console& out, NameView log, const ValueShape& shape);
  // The name as a JSON string's characters: quotes, backslashes and control characters escaped,
  // and on POSIX systems each byte that is not part of UTF-8 given as U+FFFD.
  NameView json_escaped(NameView name);

  bool json_;
  bool first_ = true;
  ReportText before_name_;
  ReportText after_name_;
  NameChar escaped_[6 * 32768];  // the longest name, each character escaped as \uXXXX at most
};

}  // namespace mirtak
