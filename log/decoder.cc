#include "log/decoder.h"

#include <cstring>

namespace mirtak {

Decoder::Decoder(ValueWriter& out, const KernelSet& kernel_set) : fields_(out), lines_(fields_) {
  if (!kernel_set.plain()) fast_.emplace(out, kernel_set.kernels);
}

bool Decoder::feed(unsigned char* block, std::size_t size) {
  if (!fast_) return feed_plain(block, size);
  fast_->forget();
  unsigned char* at = block;
  unsigned char* const end = block + size;
  while (at != end) {
    if (lines_.at_line_start()) {
      at += fast_->convert(at, end);
      if (at == end) break;
    }
    // The rest of this line the plain way (the header, a line the fast way leaves, a line cut
    // by the block's end); the fast way takes over again at the next line.
    void* newline = std::memchr(at, kNewline, static_cast<std::size_t>(end - at));
    unsigned char* const stop = newline != nullptr ? static_cast<unsigned char*>(newline) + 1 : end;
    if (!feed_plain(at, static_cast<std::size_t>(stop - at))) return false;
    at = stop;
  }
  return true;
}

bool Decoder::feed_plain(unsigned char* text, std::size_t size) {
  const std::size_t kept = text_.apply(text, size);
  const bool wanted = lines_.feed(text, kept);
  return wanted && !text_.ended();
}

}  // namespace mirtak
