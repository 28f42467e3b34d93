// make_log SIZE_MB COLUMNS crlf|lf FILE
//   writes a benchmark log of about SIZE_MB megabytes (10^6 bytes); SIZE_MB may be fractional.
// make_log --one-line SIZE_MB FILE
//   writes a header, a single data line of about SIZE_MB megabytes, and the terminator.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/log_maker.h"

namespace {

int usage() {
  static_cast<void>(
      std::fputs("usage: make_log SIZE_MB COLUMNS crlf|lf FILE\n"
                 "       make_log --one-line SIZE_MB FILE\n",
                 stderr));
  return 2;
}

bool put(std::FILE* file, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool write_log(std::FILE* file, double megabytes, mirtak::bench::LogShape shape) {
  const auto size = static_cast<unsigned long long>(megabytes * 1e6);
  mirtak::bench::LogMaker maker(shape);
  if (!put(file, maker.header())) return false;
  std::string chunk;
  for (unsigned long long written = 0; written < size; written += chunk.size()) {
    chunk.clear();
    while (chunk.size() < (1u << 20))
      maker.append_line(chunk);
    if (!put(file, chunk)) return false;
  }
  return put(file, maker.terminator());
}

bool write_one_line(std::FILE* file, double megabytes) {
  const auto size = static_cast<unsigned long long>(megabytes * 1e6);
  if (!put(file, "SEQ  LONG\r\n1")) return false;
  std::string chunk;
  for (int i = 0; chunk.size() < (1u << 20); ++i)
    chunk += "  " + std::to_string(i % 65536 - 32768);
  for (unsigned long long written = 0; written < size; written += chunk.size()) {
    if (!put(file, chunk)) return false;
  }
  return put(file, "\r\n+ END\r\n");
}

// A number from the command line, or a negative one if it is not a number.
double number(const char* text) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  return end != text && *end == '\0' ? value : -1;
}

}  // namespace

int main(int argc, char** argv) {
  bool ok = false;
  const char* name = nullptr;
  std::FILE* file = nullptr;
  if (argc == 4 && std::strcmp(argv[1], "--one-line") == 0) {
    name = argv[3];
    if ((file = std::fopen(name, "wb")) != nullptr) ok = write_one_line(file, number(argv[2]));
  } else if (argc == 5) {
    const double columns = number(argv[2]);
    if (columns < 1 || number(argv[1]) < 0) return usage();
    const mirtak::bench::LogShape shape{static_cast<int>(columns), std::strcmp(argv[3], "lf") != 0};
    name = argv[4];
    if ((file = std::fopen(name, "wb")) != nullptr) ok = write_log(file, number(argv[1]), shape);
  } else {
    return usage();
  }
  if (file == nullptr || std::fclose(file) != 0 || !ok) {
    std::perror(name);
    return 1;
  }
  return 0;
}
