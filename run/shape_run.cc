#include "run/shape_run.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "log/decoder.h"
#include "output/value_shape.h"
#include "output/value_writer.h"
#include "run/console.h"
#include "run/files.h"
#include "run/messages.h"
#include "run/process.h"
#include "run/read_log.h"
#include "run/shape_report.h"

namespace mirtak {

namespace {

// The values go nowhere: only their shape is kept.
class Discard final : public ByteSink {
 public:
  bool write(const unsigned char* /*data*/, std::size_t /*size*/) override { return true; }
};

// Everything the reading of one log works with.
struct ShapeReading {
  // The read block is not cleared: only what a read fills is looked at.
  // cppcheck-suppress uninitMemberVar
  ShapeReading() : writer(discard), decoder(writer) { writer.observe(shape); }

  LogFile log;
  Discard discard;
  ValueWriter writer;
  Decoder decoder;
  ValueShape shape;
  unsigned char block[kReadBlockSize];
};

struct ShapeStorage {
  explicit ShapeStorage(bool json)
      : out({ConsoleKind::Stream::kOutput, false, json}),
        errors({ConsoleKind::Stream::kError, false, false}),
        report(json) {}

  Console out;
  Console errors;
  ShapeReport report;
  std::optional<ShapeReading> reading;  // built anew for each log
};

// Not built until the run knows whether it reports JSON.
std::optional<ShapeStorage> storage;

bool is_json_option(const NameChar* argument) {
  constexpr std::string_view kJson = "--json";
  const NameView given(argument);
  return given.size() == kJson.size() && std::equal(kJson.begin(), kJson.end(), given.begin());
}

// Reads one log to the end of its data; the failure if it cannot be read.
std::optional<Failure> read_shape(ShapeReading& r, const NameChar* name) {
  if (!r.log.open(name)) return Failure::kNoSuchFile;
  const std::ptrdiff_t first = r.log.read(r.block, kReadBlockSize);
  const bool read = first >= 0 && read_to_end(r.log, r.decoder, r.writer, r.block,
                                              static_cast<std::size_t>(first));
  r.writer.flush();
  r.log.close();
  if (!read) return Failure::kCannotRead;
  return std::nullopt;
}

}  // namespace

int shape_run(int argc, const NameChar* const* argv) noexcept {
  prepare_process();
  // --json may stand anywhere among the names; a log of that name is named ./--json.
  bool json = false;
  int logs = 0;
  for (int i = 1; i < argc; ++i) {
    if (is_json_option(argv[i])) {
      json = true;
    } else {
      ++logs;
    }
  }
  ShapeStorage& s = storage.emplace(json);
  if (logs == 0) {
    print_failure_line(s.errors, Failure::kWrongInput, {});
    s.errors.print("\tInput: mirtak-shape [--json] LogFileName...\n");
    return 1;
  }
  int status = 0;
  s.report.begin(s.out);
  for (int i = 1; i < argc; ++i) {
    if (is_json_option(argv[i])) continue;
    const std::optional<Failure> failed = read_shape(s.reading.emplace(), argv[i]);
    if (failed) {
      print_failure_line(s.errors, *failed, argv[i]);
      status = 1;
    } else {
      s.report.print(s.out, argv[i], s.reading->shape);
    }
    s.reading.reset();
  }
  s.report.end(s.out);
  return s.out.failed() ? 1 : status;
}

}  // namespace mirtak
