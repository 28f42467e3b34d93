// Everything the tool says: the banner, printed on every run, and one message for each way a
// run can fail. Every message begins with a newline and has none of its own at the end.
#pragma once

#include <string_view>

#include "run/console.h"
#include "run/file_name.h"

namespace mirtak {

// The ways a run can fail, each with its message (in this order in messages.cc); a conversion
// has none.
enum class Failure {
  kWrongInput,    // fewer than two arguments
  kNoSuchFile,    // the log cannot be opened as a file to read
  kCannotCreate,  // the value file cannot be created, or it is the log itself
  kCannotRead,    // reading the log failed
  kCannotWrite,   // writing the value file failed
};

void print_banner(Console& console);

// Prints the failure's message; name is the file it concerns, as typed on the command line
// (empty for kWrongInput).
void print_failure(Console& console, Failure failure, NameView name);

// The same message as a line of its own, for the companion command's standard error: without the
// newline that sets it apart from the banner, with one at its end.
void print_failure_line(Console& console, Failure failure, NameView name);

}  // namespace mirtak
