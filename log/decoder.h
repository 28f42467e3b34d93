// Turns a log's raw bytes into the values of its data lines, in one forward pass, a block at a
// time. Blocks may be cut anywhere (inside a line, a field, a number); the values are the same
// however the log is cut, and memory does not grow with the length of a line or of the log.
#pragma once

#include <cstddef>
#include <optional>

#include "log/fast_lines.h"
#include "log/field_splitter.h"
#include "log/kernel_sets.h"
#include "log/line_reader.h"
#include "log/text_filter.h"
#include "output/value_writer.h"

namespace mirtak {

class Decoder {
 public:
  explicit Decoder(ValueWriter& out, const KernelSet& kernel_set = best_kernel_set());

  // Takes the next block of the log exactly as read from the file; its bytes may be rewritten
  // in place. Returns false once the log's data has ended (terminator line or Ctrl-Z): nothing
  // more need be read, and nothing more may be given.
  bool feed(unsigned char* block, std::size_t size);

  // The end of the input, or of the data: a last data line without a newline still counts.
  void finish() { lines_.finish(); }

 private:
  bool feed_plain(unsigned char* text, std::size_t size);

  TextFilter text_;
  FieldSplitter fields_;
  LineReader lines_;
  std::optional<FastLines> fast_;  // none on the plain way
};

}  // namespace mirtak
