#include "log/line_reader.h"

#include <cstring>

namespace mirtak {

namespace {

const unsigned char* find_newline(const unsigned char* from, const unsigned char* end) {
  const void* hit = std::memchr(from, kNewline, static_cast<std::size_t>(end - from));
  return static_cast<const unsigned char*>(hit);
}

}  // namespace

bool LineReader::feed(const unsigned char* data, std::size_t size) {
  const unsigned char* end = data + size;
  while (data != end) {
    if (place_ == LinePlace::kHeader) {
      const unsigned char* newline = find_newline(data, end);
      if (newline == nullptr) return true;
      data = newline + 1;
      place_ = LinePlace::kLineStart;
      continue;
    }
    if (place_ == LinePlace::kLineStart) {
      if (*data == kTerminatorMark) return false;
      place_ = LinePlace::kLeadingSpaces;
    }
    const unsigned char* newline = find_newline(data, end);
    if (newline == nullptr) {
      fields_.feed(data, end, place_);
      return true;
    }
    fields_.feed(data, newline, place_);
    fields_.end_line(place_);
    data = newline + 1;
    place_ = LinePlace::kLineStart;
  }
  return true;
}

void LineReader::finish() {
  if (place_ != LinePlace::kHeader && place_ != LinePlace::kLineStart) fields_.end_line(place_);
  place_ = LinePlace::kLineStart;
}

}  // namespace mirtak
