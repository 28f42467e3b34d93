// One run of the tool, from the banner to the exit status.
#pragma once

#include "run/file_name.h"

namespace mirtak {

// MIRTAK LogFileName KovirFileName: converts the log into the value file. Arguments after the
// second are ignored. Returns the exit status: 0 after a conversion, 1 after a failure. A run
// works in fixed storage: it allocates no memory and throws nothing.
int run(int argc, const NameChar* const* argv) noexcept;

}  // namespace mirtak
