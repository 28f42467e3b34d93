// How an existing value file is judged before it is overwritten: the comparison of a file read
// as a log with given bytes, and the judgement through an open file, over logs of every shape,
// swapped as made and after editing, and re-run over their own value files.
#include "run/existing_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "run/yield_check.h"
#include "tests/reference.h"
#include "tests/support.h"

namespace mirtak {
namespace {

using test::bytes_of;

const unsigned char* data_of(const std::string& bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}

// The value file of a log, worked out from the rules, not by the tool.
std::string values_of(const std::string& log) {
  return test::items_of(test::reference_values(log));
}

// The log's first block, as a run reads it before it opens the value file.
std::string first_block(const std::string& bytes) {
  return bytes.substr(0, kLogStartSize);
}

class FailingBytes final : public ByteSource {
 public:
  std::ptrdiff_t read_at(unsigned char*, std::size_t, std::uint64_t) override { return -1; }
};

TEST(YieldCheck, AgreesOverAllOfOneSideAndAtLeastOneValue) {
  const std::string log = bytes_of("HEAD<CR>⏎··1··10··-20<CR>⏎··2··11··300<CR>⏎+<CR>⏎");
  const std::string values = test::items_of({10, -20, 11, 300});
  const std::string long_header(300000, 'h');
  const struct {
    const char* what;
    std::string source;
    std::uint64_t reach;
    std::string expected;
    YieldCheck::Result result;
  } cases[] = {
      {"all of both", log, 1 << 20, values, YieldCheck::Result::kAgrees},
      {"all expected, more yielded", log, 1 << 20, values.substr(0, 3),
       YieldCheck::Result::kAgrees},
      {"all yielded, more expected", log, 1 << 20, values + "more", YieldCheck::Result::kAgrees},
      {"one value", bytes_of("H⏎·1·10"), 1 << 20, values, YieldCheck::Result::kAgrees},
      {"the first value differs", log, 1 << 20, test::items_of({11}), YieldCheck::Result::kDiffers},
      {"the last byte differs", log, 1 << 20, values.substr(0, 7) + "\x2D",
       YieldCheck::Result::kDiffers},
      {"nothing yielded", bytes_of("HEAD⏎1⏎+⏎"), 1 << 20, values, YieldCheck::Result::kDiffers},
      {"half a value expected", log, 1 << 20, values.substr(0, 1), YieldCheck::Result::kDiffers},
      {"nothing expected", log, 1 << 20, "", YieldCheck::Result::kDiffers},
      {"a header past the first blocks", long_header + log, 1 << 20, values,
       YieldCheck::Result::kAgrees},
      {"a header past the reach", long_header + log, 250000, values, YieldCheck::Result::kDiffers},
      {"agreeing when the reach cuts it", log, 14, values, YieldCheck::Result::kAgrees},
  };
  YieldCheck check;
  for (const auto& c : cases) {
    MemoryBytes source(data_of(c.source), c.source.size());
    EXPECT_EQ(check.compare(source, c.reach, data_of(c.expected), c.expected.size()), c.result)
        << c.what;
  }
  FailingBytes failing;
  EXPECT_EQ(check.compare(failing, 1 << 20, data_of(values), values.size()),
            YieldCheck::Result::kUnreadable);
}

// A file holding the given bytes, open for reading and writing, gone when it is closed.
using ScratchFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
ScratchFile scratch_file(const std::string& bytes) {
  ScratchFile file(std::tmpfile(), &std::fclose);
  if (file && (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
               std::fflush(file.get()) != 0)) {
    file.reset();
  }
  return file;
}

// The verdict on a file holding `held` when the run's log starts with `log`, read through an
// open file as a run reads it.
Verdict judged(ExistingFile& existing, const std::string& held, const std::string& log) {
  const ScratchFile file = scratch_file(held);
  if (!file) {
    ADD_FAILURE() << "no scratch file";
    return Verdict::kRefuse;
  }
  DescriptorBytes contents(fileno(file.get()));
  const std::string start = first_block(log);
  return existing.judge(&contents, held.size(), {data_of(start), start.size()});
}

TEST(ExistingFile, TheLogByWhatItHolds) {
  // A log longer than the probe and than the first block, a NUL in its header.
  std::string log = bytes_of("HEAD<NUL>ER<CR>⏎");
  while (log.size() < kLogStartSize + 100)
    log += bytes_of("··1··10··-20<CR>⏎");
  std::string changed_late = log;
  changed_late[ExistingFile::kProbeSize + 50] = '7';
  const std::string values = test::items_of({10, -20, 300, 7, -1});
  // A log whose first value's bytes are its header's first two: its one-value value file is
  // also the log's first two bytes.
  const std::string echo = bytes_of("HEADER⏎·1·18501⏎+⏎");
  const struct {
    const char* what;
    std::string held;
    std::string log;
    Verdict verdict;
  } cases[] = {
      {"the log", log, log, Verdict::kRefuse},
      {"the log with more after its first block", log + "more", log, Verdict::kRefuse},
      {"the log seen shorter than it is", log.substr(0, ExistingFile::kProbeSize + 1), log,
       Verdict::kRefuse},
      {"the log's first bytes", log.substr(0, 3), log, Verdict::kRefuse},
      {"the log's first byte", log.substr(0, 1), log, Verdict::kRefuse},
      {"values after the log's first bytes", log.substr(0, 5) + values, log, Verdict::kOverwrite},
      {"the log changed past the first probe", changed_late, log, Verdict::kOverwrite},
      {"values", values, log, Verdict::kOverwrite},
      {"the log's own values, which are also its first bytes", values_of(echo), echo,
       Verdict::kOverwrite},
      {"empty", "", log, Verdict::kEmpty},
      {"empty, and the log empty", "", "", Verdict::kEmpty},
      // A view of the log can show it empty while it holds data; an empty log writes nothing.
      {"data, and the log empty", values, "", Verdict::kRefuse},
      {"text, and the log empty", "notes\nmore notes\n", "", Verdict::kRefuse},
      // Text is no sign of a log: a value file can hold any bytes, and a document is written
      // over as any converter writes over the file it is given.
      {"text", "notes\nmore notes\n", log, Verdict::kOverwrite},
  };
  ExistingFile existing;
  for (const auto& c : cases)
    EXPECT_EQ(judged(existing, c.held, c.log), c.verdict) << c.what;
}

TEST(ExistingFile, UnreadableJudgedBySize) {
  const std::string log = bytes_of("HEAD⏎·1·2⏎");
  const LogStart start{data_of(log), log.size()};
  ExistingFile existing;
  EXPECT_EQ(existing.judge(nullptr, 0, start), Verdict::kEmpty);
  EXPECT_EQ(existing.judge(nullptr, 10, start), Verdict::kOverwrite);
  EXPECT_EQ(existing.judge(nullptr, 10, {}), Verdict::kRefuse);
  FailingBytes failing;
  EXPECT_EQ(existing.judge(&failing, 10, start), Verdict::kRefuse);
}

// A file is read as a log only as far as kSwapReach: a log whose first value lies past it is
// not recognised as the log the run's log was converted from, and an old value file that reads
// as one endless header line costs no more reading than that.
TEST(ExistingFile, TheSwapIsLookedForWithinTheReach) {
  const std::string data = bytes_of("<CR>⏎1··10··-20<CR>⏎2··11··300<CR>⏎");
  const std::string values = test::items_of({10, -20, 11, 300});
  constexpr auto kReach = static_cast<std::size_t>(ExistingFile::kSwapReach);
  const auto header = [](std::size_t size) { return std::string(size, 'H'); };
  ExistingFile existing;
  EXPECT_EQ(judged(existing, header(kReach - 100) + data, values), Verdict::kRefuse);
  EXPECT_EQ(judged(existing, header(kReach) + data, values), Verdict::kOverwrite);
}

// Logs of every shape, each with a header and a few data lines as an instrument writes them.
std::string lines_of(const std::string& header, const std::string& line_end, std::size_t lines,
                     int columns) {
  std::string log = header + line_end;
  for (std::size_t i = 1; i <= lines; ++i) {
    log += std::to_string(i);
    for (int c = 0; c < columns; ++c)
      log += "  " + std::to_string((static_cast<int>(i) * 131 + c * 977) % 65536 - 32768);
    log += line_end;
  }
  return log;
}

// UTF-16 of an ASCII text, each character's zero byte after it (LE) or before it (BE).
std::string utf16(const std::string& text, bool little_endian) {
  std::string wide = little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char c : text) {
    wide += little_endian ? c : '\0';
    wide += little_endian ? '\0' : c;
  }
  return wide;
}

struct Shape {
  const char* what;
  std::string log;
};

std::vector<Shape> log_shapes() {
  const std::string crlf = lines_of("RUN 7", "\r\n", 20, 9) + "+\r\n";
  std::string wide_header = "SEQ";
  for (int c = 1; c < 1000; ++c)
    wide_header += "  CHANNEL" + std::to_string(c);
  return {
      {"CR LF", crlf},
      {"LF only", lines_of("RUN 7", "\n", 20, 9) + "+\n"},
      {"1,000 columns, a header and first line past 4 KiB", lines_of(wide_header, "\r\n", 5, 999)},
      {"a header of 200 KiB",
       lines_of(std::string(std::size_t{200} * 1024, 'H'), "\r\n", 5, 3) + "+\r\n"},
      {"one value", bytes_of("H⏎·1·7⏎")},
      {"no newline after the last line", lines_of("RUN", "\r\n", 3, 2) + "4  5  6"},
      {"Ctrl-Z after the terminator", crlf + "\x1A"},
      {"an LF log ending in Ctrl-Z", lines_of("RUN 7", "\n", 20, 9) + "\x1A"},
      {"Ctrl-Z inside a data line", lines_of("RUN", "\r\n", 5, 3) + "9  1\x1A"
                                                                    "2  3\r\n+\r\n"},
      {"Ctrl-Z and bytes after it",
       lines_of("RUN", "\r\n", 5, 3) + std::string("\x1A\x01\x02\n+\n\0\0", 8)},
      {"a NUL in the header", lines_of(std::string("RUN\0 7", 6), "\r\n", 20, 9) + "+\r\n"},
      {"ESC and DEL in the header", lines_of("\x1B[1mRUN\x7F", "\r\n", 20, 9) + "+\r\n"},
      {"a code page's letters (1252, 437)", lines_of("Temperatur \xB0"
                                                     "C  Stra\xDF"
                                                     "e \xF8  \x9B\xE1",
                                                     "\r\n", 20, 3) +
                                                "+\r\n"},
      {"UTF-8 letters", lines_of("Температура °C", "\n", 20, 3) + "+\n"},
      {"UTF-16 LE", utf16(lines_of("RUN 7", "\r\n", 20, 3) + "+\r\n", true)},
      {"UTF-16 BE", utf16(lines_of("RUN 7", "\r\n", 20, 3) + "+\r\n", false)},
      {"tabs and form feeds", bytes_of("A<TAB>B⏎x<TAB>1·<TAB>2·<FF>3⏎+⏎")},
      {"values past the first block", lines_of("BIG", "\r\n", 40000, 9) + "+\r\n"},
      {"text-like values (room temperature)",
       lines_of("T", "\r\n", 0, 0) +
           [] {
             std::string lines;
             for (int i = 0; i < 3000; ++i)
               lines += std::to_string(i) + "  " + std::to_string(2592 + i % 220) + "\r\n";
             return lines;
           }()},
  };
}

// MIRTAK X.MX X.LOG, X.MX converted from X.LOG: the file about to be emptied is the log the run
// reads was converted from. Refused whatever its shape, and after its header was changed or
// lines were appended to it; a re-run over the value file converts.
TEST(ExistingFile, SwappedNamesRefusedReRunsConverted) {
  ExistingFile existing;
  int swaps = 0;
  for (const Shape& shape : log_shapes()) {
    const std::string& log = shape.log;
    const std::string values = values_of(log);
    ASSERT_GE(values.size(), 2u) << shape.what;
    const std::size_t header_end = log.find('\n');
    const std::string data = log.substr(header_end + 1);
    // A log ended by a Ctrl-Z or a terminator is edited before that end.
    std::size_t stop = std::min(data.find('\x1A'), data.size());
    if (const std::size_t end = data.find("\n+"); end != std::string::npos)
      stop = std::min(stop, end + 1);
    const std::string before = data.substr(0, stop);
    const std::string after = data.substr(before.size());
    const struct {
      const char* edit;
      std::string log;
    } edits[] = {
        {"as made", log},
        {"another header", "NEW HEADER, LONGER: " + log.substr(0, header_end + 1) + data},
        {"a header past 4 KiB", std::string(5000, '#') + log},
        {"lines appended", log + "\r\n7  8  9\r\n"},
        {"lines appended before the end",
         [&] {
           std::string edited = log.substr(0, header_end + 1) + before;
           if (!before.empty() && before.back() != '\n') edited += '\n';
           return edited.append("1  2  3\n").append(after);
         }()},
        {"line ends made LF",
         [&log] {
           std::string lf = log;
           lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
           return lf;
         }()},
    };
    for (const auto& edit : edits) {
      EXPECT_EQ(judged(existing, edit.log, values), Verdict::kRefuse)
          << shape.what << ", " << edit.edit;
      ++swaps;
    }
    EXPECT_EQ(judged(existing, values, log), Verdict::kOverwrite) << shape.what << ", re-run";
  }
  std::printf("swapped names refused over %d logs\n", swaps);
}

}  // namespace
}  // namespace mirtak
