#include "output/value_writer.h"

namespace mirtak {

// The buffer is not cleared: only what put() and commit() count is ever written out.
// cppcheck-suppress uninitMemberVar
ValueWriter::ValueWriter(ByteSink& sink) : sink_(sink) {}

bool ValueWriter::flush() {
  const std::size_t size = used_;
  used_ = 0;
  handed_ += size;
  if (!failed_ && size != 0 && !sink_.write(buffer_, size)) failed_ = true;
  return !failed_;
}

}  // namespace mirtak
