#include "log/decoder.h"

namespace mirtak {

namespace {

// Where a turn of the plain reader ends: after the header's newline, else after the next
// separator or newline, where the line stands between two fields again.
unsigned char* end_of_plain_turn(unsigned char* at, unsigned char* end, bool header) {
  for (; at != end; ++at) {
    if (*at == kNewline || (!header && *at == kFieldSeparator)) return at + 1;
  }
  return end;
}

}  // namespace

Decoder::Decoder(ValueWriter& out, const KernelSet& kernel_set) : fields_(out), lines_(fields_) {
  if (!kernel_set.plain()) fast_.emplace(out, kernel_set.kernels);
}

bool Decoder::feed(unsigned char* block, std::size_t size) {
  if (!fast_) return feed_plain(block, size);
  unsigned char* at = block;
  unsigned char* const end = block + size;
  while (at != end) {
    if (LinePlace place = lines_.place(); between_fields(place)) {
      at += fast_->convert(at, end, place);
      lines_.resume_at(place);
      if (at == end) break;
    }
    // The plain reader's turn: the header, a field the fast way leaves to it, a field cut by
    // the block's end; the fast way takes over again after it.
    unsigned char* const stop = end_of_plain_turn(at, end, lines_.place() == LinePlace::kHeader);
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
