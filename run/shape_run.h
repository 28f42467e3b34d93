// One run of the companion command, mirtak-shape: for each log named, how many data lines it
// has, how many values each gives, which lines give another number, and each column's range
// (output/value_shape.h), as text for people or, after --json, as one JSON array. It reads each
// log once, as a conversion does, and writes no file.
#pragma once

#include "run/file_name.h"

namespace mirtak {

// mirtak-shape [--json] LogFileName... (--json anywhere): returns the exit status, 0 when every log
// was read and the whole report written out, 1 otherwise (each log that could not be read is named
// on standard error with the tool's message). Works in fixed storage: allocates nothing, throws
// nothing.
int shape_run(int argc, const NameChar* const* argv) noexcept;

}  // namespace mirtak
