#include "run/read_log.h"

namespace mirtak {

bool read_to_end(LogFile& log, Decoder& decoder, const ValueWriter& writer, unsigned char* block,
                 std::size_t got) {
  while (got != 0 && decoder.feed(block, got)) {
    if (writer.failed()) return true;
    const std::ptrdiff_t next = log.read(block, kReadBlockSize);
    if (next < 0) return false;
    got = static_cast<std::size_t>(next);
  }
  decoder.finish();
  return true;
}

}  // namespace mirtak
