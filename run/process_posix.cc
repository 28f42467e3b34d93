#include <sys/mman.h>

#include <csignal>

#include "run/process.h"

namespace mirtak {

void prepare_process() {
  (void)std::signal(SIGPIPE, SIG_IGN);
  (void)std::signal(SIGXFSZ, SIG_IGN);
}

void take_pages(void* start, std::size_t size) {
#if defined(__linux__)
#if defined(MADV_POPULATE_WRITE)
  constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
  constexpr int kPopulateWrite = 23;  // whatever headers the tool was built with
#endif
  (void)::madvise(start, size, kPopulateWrite);  // refused by an older system: touched below
#endif
  touch_pages(start, size);
}

void give_back(void* start, std::size_t size) {
  (void)::madvise(start, size, MADV_DONTNEED);
}

}  // namespace mirtak
