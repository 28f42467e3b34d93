#include "run/run.h"

int main(int argc, char** argv) {
  return mirtak::run(argc, argv);
}
