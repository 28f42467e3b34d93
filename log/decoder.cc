#include "log/decoder.h"

namespace mirtak {

bool Decoder::feed(unsigned char* block, std::size_t size) {
  const std::size_t text = text_.apply(block, size);
  const bool wanted = lines_.feed(block, text);
  return wanted && !text_.ended();
}

}  // namespace mirtak
