// Standard output as the tool's console. Every newline goes out as a carriage return and a
// newline, on every platform and whether or not the output is a terminal. Text is written out
// at once. The console never decides a run's outcome: if standard output is closed, full or a
// pipe nobody reads, what is printed is lost and the run goes on.
#pragma once

#include <string_view>

namespace mirtak {

class Console {
 public:
  void print(std::string_view text);
};

}  // namespace mirtak
