#include "run/run.h"

#include <cstddef>
#include <optional>

#include "log/decoder.h"
#include "output/value_writer.h"
#include "run/console.h"
#include "run/file_name.h"
#include "run/files.h"
#include "run/messages.h"
#include "run/process.h"

namespace mirtak {

namespace {

// How much of the log one read asks for.
constexpr std::size_t kReadBlockSize = std::size_t{256} * 1024;

// Everything one conversion works with: the two files, the value buffer, the decoder with its
// tables, and the block the log is read into.
struct Conversion {
  // The read block is not cleared: only what a read fills is looked at.
  // cppcheck-suppress uninitMemberVar
  Conversion() : writer(values), decoder(writer) {}

  LogFile log;
  ValueFile values;
  ValueWriter writer;
  Decoder decoder;
  unsigned char block[kReadBlockSize];
};

// The run's storage. Being of static storage duration, it is reserved by the system as it loads
// the program: once the tool has started, nothing it does can fail for want of memory, and a
// system that cannot give the memory does not start it at all, so no file is touched.
struct Storage {
  Console console;
  std::optional<Conversion> conversion;  // built in place for the conversion, then taken down
};

Storage storage;

struct Failed {
  // cppcheck-suppress unusedStructMember ; read through the std::optional that holds it
  Failure failure;
  NameView name;  // the file it concerns
};

// Reads the log to the end of its data, converting as it goes. False on a read error.
bool pump(Conversion& c) {
  for (;;) {
    const std::ptrdiff_t got = c.log.read(c.block, kReadBlockSize);
    if (got < 0) return false;
    if (got == 0 || !c.decoder.feed(c.block, static_cast<std::size_t>(got))) break;
    if (c.writer.failed()) return true;  // no use reading on; the write error is reported
  }
  c.decoder.finish();
  return true;
}

// Nothing if the log was converted.
std::optional<Failed> convert(Conversion& c, const NameChar* log_name, const NameChar* value_name) {
  if (!c.log.open(log_name)) return Failed{Failure::kNoSuchFile, log_name};
  if (!c.values.create(value_name, c.log)) return Failed{Failure::kCannotCreate, value_name};

  const bool read = pump(c);
  // What was converted before any failure stays in the value file.
  const bool flushed = c.writer.flush();
  c.log.close();
  const bool closed = c.values.close();

  if (!read) return Failed{Failure::kCannotRead, log_name};
  if (!flushed || !closed) return Failed{Failure::kCannotWrite, value_name};
  return std::nullopt;
}

}  // namespace

int run(int argc, const NameChar* const* argv) noexcept {
  prepare_process();
  Console& console = storage.console;
  print_banner(console);

  if (argc < 3) {
    print_failure(console, Failure::kWrongInput, {});
    return 1;
  }
  const std::optional<Failed> failed = convert(storage.conversion.emplace(), argv[1], argv[2]);
  storage.conversion.reset();  // both files are closed before anything more is said
  if (!failed) return 0;
  print_failure(console, failed->failure, failed->name);
  return 1;
}

}  // namespace mirtak
