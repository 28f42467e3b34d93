#include "log/field_splitter.h"

namespace mirtak {

void FieldSplitter::feed(const unsigned char* data, const unsigned char* end) {
  for (; data != end; ++data) {
    if (*data == kFieldSeparator) {
      if (begun_) end_field();
    } else {
      begun_ = true;
      number_.take(*data);
    }
  }
}

void FieldSplitter::end_line() {
  end_field();
  first_field_ = true;
  if (line_ends_ != nullptr) line_ends_->line_ended(out_.items());
}

void FieldSplitter::end_field() {
  if (!first_field_) out_.put(number_.value());
  first_field_ = false;
  begun_ = false;
  number_ = Number();
}

}  // namespace mirtak
