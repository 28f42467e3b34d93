#include "log/field_splitter.h"

#include "log/number.h"

namespace mirtak {

void FieldSplitter::feed(const unsigned char* data, const unsigned char* end) {
  for (; data != end; ++data) {
    const unsigned char c = *data;
    if (c == ' ') {
      if (state_ != State::kLeading) end_field();
      continue;
    }
    switch (state_) {
      case State::kLeading:
      case State::kSkipping:
        if (is_white_space(c)) {
          state_ = State::kSkipping;
        } else if (is_sign(c)) {
          negative_ = c == '-';
          state_ = State::kSigned;
        } else if (is_digit(c)) {
          magnitude_ = append_digit(0, c);
          state_ = State::kDigits;
        } else {
          state_ = State::kDone;
        }
        break;
      case State::kSigned:
      case State::kDigits:
        if (is_digit(c)) {
          magnitude_ = append_digit(magnitude_, c);
          state_ = State::kDigits;
        } else {
          state_ = State::kDone;
        }
        break;
      case State::kDone:
        break;
    }
  }
}

void FieldSplitter::end_line() {
  end_field();
  first_field_ = true;
}

void FieldSplitter::end_field() {
  if (!first_field_) out_.put(to_value(magnitude_, negative_));
  first_field_ = false;
  state_ = State::kLeading;
  negative_ = false;
  magnitude_ = 0;
}

}  // namespace mirtak
