#include "run/run.h"

#include <cstddef>
#include <memory>
#include <string_view>

#include "log/decoder.h"
#include "output/value_writer.h"
#include "run/console.h"
#include "run/files.h"
#include "run/messages.h"
#include "run/process.h"

namespace mirtak {

namespace {

constexpr std::size_t kReadBlockSize = std::size_t{256} * 1024;

struct Result {
  Outcome outcome;
  std::string_view name;  // the file the failure concerns
};

// Reads the log to the end of its data, converting as it goes. False on a read error.
bool pump(LogFile& log, Decoder& decoder, const ValueWriter& writer) {
  const auto block = std::make_unique<unsigned char[]>(kReadBlockSize);
  for (;;) {
    const std::ptrdiff_t got = log.read(block.get(), kReadBlockSize);
    if (got < 0) return false;
    if (got == 0 || !decoder.feed(block.get(), static_cast<std::size_t>(got))) break;
    if (writer.failed()) return true;  // no use reading on; the write error is reported
  }
  decoder.finish();
  return true;
}

Result convert(const char* log_name, const char* value_name) {
  LogFile log;
  if (!log.open(log_name)) return {Outcome::kNoSuchFile, log_name};
  ValueFile values;
  if (!values.create(value_name, log)) return {Outcome::kCannotCreate, value_name};

  ValueWriter writer(values);
  Decoder decoder(writer);
  const bool read = pump(log, decoder, writer);
  // What was converted before any failure stays in the value file.
  const bool flushed = writer.flush();
  log.close();
  const bool closed = values.close();

  if (!read) return {Outcome::kCannotRead, log_name};
  if (!flushed || !closed) return {Outcome::kCannotWrite, value_name};
  return {Outcome::kConverted, {}};
}

}  // namespace

int run(int argc, const char* const* argv) {
  prepare_process();
  Console console;
  print_banner(console);

  if (argc < 3) {
    print_failure(console, Outcome::kWrongInput, {});
    return 1;
  }
  const Result result = convert(argv[1], argv[2]);
  if (result.outcome == Outcome::kConverted) return 0;
  print_failure(console, result.outcome, result.name);
  return 1;
}

}  // namespace mirtak
