#include "run/run.h"

#include <cstddef>
#include <optional>

#include "log/decoder.h"
#include "output/value_writer.h"
#include "run/console.h"
#include "run/existing_file.h"
#include "run/file_name.h"
#include "run/files.h"
#include "run/messages.h"
#include "run/process.h"
#include "run/read_log.h"

namespace mirtak {

namespace {

// The first read of the log is the block an existing value file is judged against.
static_assert(kReadBlockSize == kLogStartSize, "one read block is the log's start");

// Everything one conversion works with: the two files, the value buffer, the decoder with its
// tables, the block the log is read into, and the room for judging an existing value file.
struct Conversion {
  // The read block is not cleared: only what a read fills is looked at.
  // cppcheck-suppress uninitMemberVar
  Conversion() : writer(values), decoder(writer) {}

  LogFile log;
  ValueFile values;
  ValueWriter writer;
  Decoder decoder;
  ExistingFile existing;
  unsigned char block[kReadBlockSize];
};

// Memory the run takes at its start, beyond its storage, and gives back at once: the room the
// system needs for the run's files (the value file's pages waiting to be written, the log's
// pages as they are read, the tool's own code as it is first run). Under a memory limit with
// less room than this beside the storage, the run stops before it has touched a file; measured
// under a cgroup memory limit, a run that started with less room was killed after the value
// file had been emptied.
constexpr std::size_t kFileRoom = std::size_t{512} * 1024;

// The run's storage, of static storage duration. The system reserves it as it loads the program
// but takes each page from memory only when it is first touched, so the run touches all of it
// first (take_memory), before the banner or any file: a memory limit that cannot hold the tool
// stops it there, with no file changed.
struct Storage {
  Console console;
  std::optional<Conversion> conversion;  // built in place for the conversion, then taken down
  alignas(kSmallestPage) unsigned char file_room[kFileRoom];
};

Storage storage;

static_assert(kFileRoom % kSmallestPage == 0, "the room given back is whole pages");
static_assert(alignof(Storage) % kSmallestPage == 0 && sizeof(Storage) % kSmallestPage == 0,
              "the storage is taken as whole pages");

// The deepest the run's calls go below run() is well within this.
constexpr std::size_t kStackReserve = std::size_t{64} * 1024;

// Not inlined: the room must lie below run()'s own frame, where the later calls will go.
[[gnu::noinline]] void take_stack() {
  volatile unsigned char room[kStackReserve] = {};  // every byte written
  static_cast<void>(room[kStackReserve - 1]);
}

void take_memory() {
  take_pages(&storage, sizeof storage);
  take_stack();
  give_back(storage.file_room, kFileRoom);
}

struct Failed {
  // cppcheck-suppress unusedStructMember ; read through the std::optional that holds it
  Failure failure;
  NameView name;  // the file it concerns
};

// Fills the read block as far as the log goes, however short the system's reads are (a pipe, a
// FUSE mount): the value file is compared with this whole block. The count read, or -1 on a read
// error.
std::ptrdiff_t read_first_block(Conversion& c) {
  std::size_t filled = 0;
  while (filled < kReadBlockSize) {
    const std::ptrdiff_t got = c.log.read(c.block + filled, kReadBlockSize - filled);
    if (got < 0) return -1;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return static_cast<std::ptrdiff_t>(filled);
}

// Nothing if the log was converted.
std::optional<Failed> convert(Conversion& c, const NameChar* log_name, const NameChar* value_name) {
  if (!c.log.open(log_name)) return Failed{Failure::kNoSuchFile, log_name};
  // The log's first block is read before the value file is opened, which is then compared with
  // it; a log that cannot be read at all leaves the value file untouched.
  const std::ptrdiff_t first = read_first_block(c);
  if (first < 0) return Failed{Failure::kCannotRead, log_name};
  const LogStart log_start{c.block, static_cast<std::size_t>(first)};
  if (!c.values.create(value_name, c.log, log_start, c.existing)) {
    return Failed{Failure::kCannotCreate, value_name};
  }

  const bool read = read_to_end(c.log, c.decoder, c.writer, c.block, log_start.size);
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
  take_memory();
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
