#include <sys/mman.h>

#include <csignal>

#include "run/process.h"

namespace mirtak {

void prepare_process() {
  (void)std::signal(SIGPIPE, SIG_IGN);
  (void)std::signal(SIGXFSZ, SIG_IGN);
}

void give_back(void* start, std::size_t size) {
  (void)::madvise(start, size, MADV_DONTNEED);
}

}  // namespace mirtak
