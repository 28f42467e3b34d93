#include <windows.h>

#include "run/process.h"

namespace mirtak {

void prepare_process() {
  // A file on a missing drive or an empty card reader is a failed open, not a dialog box that
  // waits for somebody to click it.
  (void)::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace mirtak
