/* A baseline for the benchmarks only, never shipped: what any converter must pay at least.
 * io_floor IN OUT reads IN in 256 KiB blocks with read() and writes a quarter of each block to
 * OUT (a value file holds about a quarter of its log's bytes), converting nothing. */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

static char block[256 * 1024];

int main(int argc, char **argv) {
  int in, out;
  ssize_t got;
  if (argc < 3) {
    fputs("usage: io_floor IN OUT\n", stderr);
    return 2;
  }
  in = open(argv[1], O_RDONLY);
  out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (in < 0 || out < 0) {
    perror("io_floor");
    return 1;
  }
  while ((got = read(in, block, sizeof block)) > 0) {
    if (write(out, block, (size_t)got / 4) != got / 4) {
      perror("io_floor");
      return 1;
    }
  }
  return close(out) == 0 && got == 0 ? 0 : 1;
}
