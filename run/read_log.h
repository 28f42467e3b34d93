// The conversion loop over a log file, for both commands: read a block, hand it to the decoder,
// until the log's data has ended.
#pragma once

#include <cstddef>

#include "log/decoder.h"
#include "output/value_writer.h"
#include "run/files.h"

namespace mirtak {

// How much of the log one read asks for.
inline constexpr std::size_t kReadBlockSize = std::size_t{256} * 1024;

// Converts the `got` bytes already read into block (kReadBlockSize long), then reads the log to
// the end of its data (its terminator, a Ctrl-Z or the end of the file), converting as it goes,
// and ends the last line. Stops early once the writer has failed: there is no use reading on,
// and the write error is the caller's to report. False on a read error.
bool read_to_end(LogFile& log, Decoder& decoder, const ValueWriter& writer, unsigned char* block,
                 std::size_t got);

}  // namespace mirtak
