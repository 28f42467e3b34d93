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
    switch (state_) {
      case State::kHeader: {
        const unsigned char* newline = find_newline(data, end);
        if (newline == nullptr) return true;
        data = newline + 1;
        state_ = State::kLineStart;
        break;
      }
      case State::kLineStart:
        if (*data == kTerminatorMark) return false;
        state_ = State::kInLine;
        break;
      case State::kInLine: {
        const unsigned char* newline = find_newline(data, end);
        if (newline == nullptr) {
          fields_.feed(data, end);
          return true;
        }
        fields_.feed(data, newline);
        fields_.end_line();
        data = newline + 1;
        state_ = State::kLineStart;
        break;
      }
    }
  }
  return true;
}

std::optional<FieldBoundary> LineReader::boundary() const {
  if (state_ == State::kLineStart) return FieldBoundary::kLineStart;
  if (state_ != State::kInLine || !fields_.between_fields()) return std::nullopt;
  return fields_.in_first_field() ? FieldBoundary::kLeadingSpaces : FieldBoundary::kAfterField;
}

void LineReader::resume_at(FieldBoundary place) {
  state_ = place == FieldBoundary::kLineStart ? State::kLineStart : State::kInLine;
  fields_.resume(place != FieldBoundary::kAfterField);
}

void LineReader::finish() {
  if (state_ == State::kInLine) fields_.end_line();
  state_ = State::kLineStart;
}

}  // namespace mirtak
