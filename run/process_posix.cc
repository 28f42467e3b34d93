#include <sys/mman.h>

#include <csignal>

#include "run/process.h"

namespace mirtak {

void prepare_process() {
  (void)std::signal(SIGPIPE, SIG_IGN);
  (void)std::signal(SIGXFSZ, SIG_IGN);
}

bool take_pages(void* start, std::size_t size) {
#if defined(MADV_POPULATE_WRITE)
  return ::madvise(start, size, MADV_POPULATE_WRITE) == 0;
#elif defined(__linux__)
  // Linux 5.14 and later, whatever the headers the tool was built with say: an older system
  // refuses the request, and the pages are written one by one.
  constexpr int kPopulateWrite = 23;
  return ::madvise(start, size, kPopulateWrite) == 0;
#else
  static_cast<void>(start);
  static_cast<void>(size);
  return false;
#endif
}

void give_back(void* start, std::size_t size) {
  (void)::madvise(start, size, MADV_DONTNEED);
}

}  // namespace mirtak
