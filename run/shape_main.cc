#include "run/shape_run.h"

#ifdef _WIN32
// The arguments as UTF-16, so that a name holds any character the system's file names can.
int wmain(int argc, wchar_t** argv) {
  return mirtak::shape_run(argc, argv);
}
#else
int main(int argc, char** argv) {
  return mirtak::shape_run(argc, argv);
}
#endif
