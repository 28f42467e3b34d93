// The plain way: every byte read one at a time by the plain reading (log/reading.h), on any
// processor. It is the definition every kernel set is checked against.
#include "log/kernels.h"
#include "log/reading.h"

namespace mirtak::plain {

bool runs_here() {
  return true;
}

Converted convert(Reading reading, const unsigned char* begin, const unsigned char* end,
                  ValueWriter& out) {
  return read_plain<false>(reading, begin, end, out);
}

}  // namespace mirtak::plain
