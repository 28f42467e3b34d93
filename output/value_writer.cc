#include "output/value_writer.h"

#include <cstring>

namespace mirtak {

// The buffer is not cleared: only what put() and commit() count is ever written out.
// cppcheck-suppress uninitMemberVar
ValueWriter::ValueWriter(ByteSink& sink) : sink_(sink) {}

bool ValueWriter::write(std::size_t size) {
  if (!failed_ && size != 0 && !sink_.write(buffer_, size)) failed_ = true;
  return !failed_;
}

// The observer is told of every item before it goes out or moves.
void ValueWriter::write_piece() {
  if (lines_ != nullptr) tell(used_);
  write(kPieceSize);
  used_ -= kPieceSize;
  std::memmove(buffer_, buffer_ + kPieceSize, used_);
  told_ = used_;
}

bool ValueWriter::flush() {
  if (lines_ != nullptr) tell(used_);
  const std::size_t size = used_;
  used_ = 0;
  told_ = 0;
  return write(size);
}

}  // namespace mirtak
