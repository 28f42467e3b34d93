#include "log/text_filter.h"

#include <cstring>

namespace mirtak {

namespace {

const unsigned char* find(const unsigned char* from, const unsigned char* end, unsigned char c) {
  const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
  return hit != nullptr ? static_cast<const unsigned char*>(hit) : end;
}

}  // namespace

std::size_t TextFilter::apply(unsigned char* block, std::size_t size) {
  if (ended_) return 0;
  const unsigned char* end = find(block, block + size, kEndOfText);
  if (end != block + size) ended_ = true;

  // Close up the gaps left by carriage returns, one run of text at a time.
  unsigned char* out = block + (find(block, end, kCarriageReturn) - block);
  const unsigned char* in = out;
  while (in != end) {
    ++in;  // the carriage return
    const unsigned char* next = find(in, end, kCarriageReturn);
    const auto run = static_cast<std::size_t>(next - in);
    std::memmove(out, in, run);
    out += run;
    in = next;
  }
  return static_cast<std::size_t>(out - block);
}

}  // namespace mirtak
