/* A baseline for the benchmarks only, never shipped: the converter written the most direct
 * way, one byte per call through stdio, an 80-byte line buffer, a field table of 12 slots of
 * 12 bytes, ten value slots and one write per line. It trusts its input to fit those buffers
 * (the benchmark logs do) and checks nothing, so that the comparison is with the simplest
 * correct program, not with a careful one. */
#include <stdint.h>
#include <stdio.h>

static char line[80];
static char fields[12][12];
static int16_t slots[10];

/* One byte of text: carriage returns dropped, Ctrl-Z ends the input. */
static int next_byte(FILE *log, int *ended) {
  int c;
  if (*ended) return EOF;
  do {
    c = getc(log);
  } while (c == '\r');
  if (c == 0x1A) {
    *ended = 1;
    return EOF;
  }
  return c;
}

/* Reads a line into the line buffer; returns its length, 0 at end of input. */
static int read_line(FILE *log, int *ended) {
  int n = 0, c;
  while ((c = next_byte(log, ended)) != EOF) {
    line[n++] = (char)c;
    if (c == '\n') break;
  }
  return n;
}

static int16_t number(const char *text, int size) {
  int i = 0, negative = 0;
  uint32_t value = 0;
  while (i < size && (text[i] == ' ' || (text[i] >= 9 && text[i] <= 13))) i++;
  if (i < size && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  while (i < size && text[i] >= '0' && text[i] <= '9') value = value * 10u + (uint32_t)(text[i++] - '0');
  if (negative) value = 0u - value;
  return (int16_t)(uint16_t)value;
}

static int split(int size) {
  int f = 0, j = 0, begun = 0, k;
  int lengths[12] = {0};
  for (k = 0; k < size; k++) {
    const char c = line[k];
    if (c == ' ' && begun) {
      lengths[f] = j;
      f++;
      j = 0;
      begun = 0;
    }
    fields[f][j++] = c;
    if (c == '\n') break;
    if (c != ' ') begun = 1;
  }
  lengths[f] = j;
  for (k = 1; k <= f; k++) slots[k] = number(fields[k], lengths[k]);
  return f;
}

int main(int argc, char **argv) {
  FILE *log, *out;
  int ended = 0, size, count, k;
  unsigned char bytes[18];
  if (argc < 3 || (log = fopen(argv[1], "rb")) == NULL || (out = fopen(argv[2], "wb")) == NULL)
    return 1;
  read_line(log, &ended);
  while ((size = read_line(log, &ended)) > 0 && line[0] != '+') {
    count = split(size);
    for (k = 0; k < count; k++) {
      const uint16_t bits = (uint16_t)slots[k + 1];
      bytes[2 * k] = (unsigned char)(bits >> 8);
      bytes[2 * k + 1] = (unsigned char)(bits & 0xFF);
    }
    fwrite(bytes, 2, (size_t)count, out);
  }
  fclose(log);
  return fclose(out) != 0;
}
