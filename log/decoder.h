// Turns a log's bytes into the values of its data lines, in one forward pass, a block at a time,
// on one way through a log (log/kernel_sets.h). Blocks may be cut anywhere (inside a line, a
// field, a number); the values are the same however the log is cut, and memory does not grow
// with the length of a line or of the log. The blocks are only read.
#pragma once

#include <cstddef>

#include "log/kernel_sets.h"
#include "log/reading.h"
#include "output/value_writer.h"

namespace mirtak {

class Decoder {
 public:
  explicit Decoder(ValueWriter& out, const KernelSet& kernel_set = best_kernel_set())
      : out_(out), kernel_set_(kernel_set) {}

  // Takes the next block of the log exactly as read from the file. Returns false once the log's
  // data has ended (a terminator line or a Ctrl-Z): nothing more need be read, and nothing more
  // may be given.
  bool feed(const unsigned char* block, std::size_t size) {
    const Converted c = kernel_set_.convert(reading_, block, block + size, out_);
    reading_ = c.reading;
    data_end_ = c.taken;
    return reading_.place != LinePlace::kEnded;
  }

  // Where the data ended in the last block given: at the "+" of the terminator line or at the
  // Ctrl-Z; the block's size if it did not end there.
  std::size_t data_end() const { return data_end_; }

  // The end of the input, or of the data: a last data line without a newline still counts.
  void finish() { reading_ = end_of_input(reading_, out_); }

 private:
  ValueWriter& out_;
  const KernelSet& kernel_set_;
  Reading reading_;
  std::size_t data_end_ = 0;
};

}  // namespace mirtak
