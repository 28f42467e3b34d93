#include <windows.h>

#include "run/process.h"

namespace mirtak {

void prepare_process() {
  // A file on a missing drive or an empty card reader is a failed open, not a dialog box that
  // waits for somebody to click it.
  (void)::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void take_pages(void* start, std::size_t size) {
  touch_pages(start, size);
}

// Memory of the program's image cannot be given back page by page: it stays the process's.
void give_back(void* /*start*/, std::size_t /*size*/) {}

}  // namespace mirtak
