#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "run/process.h"

namespace mirtak {

void prepare_process() {
  // The console writes its own carriage returns; in the runtime's text mode each newline would
  // gain a second one. Without a standard output there is nothing to set.
  const int console = ::_fileno(stdout);
  if (console >= 0) (void)::_setmode(console, _O_BINARY);
  // A file on a missing drive or an empty card reader is a failed open, not a dialog box that
  // waits for somebody to click it.
  (void)::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace mirtak
