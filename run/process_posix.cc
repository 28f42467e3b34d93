#include <csignal>

#include "run/process.h"

namespace mirtak {

void prepare_process() {
  (void)std::signal(SIGPIPE, SIG_IGN);
  (void)std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace mirtak
