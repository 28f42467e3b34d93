// What an existing value file may hold and still be overwritten: the text rule, and the
// comparison with the log's first block through an open file.
#include "run/existing_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "run/text_rule.h"
#include "tests/support.h"

namespace mirtak {
namespace {

using test::bytes_of;

bool text(const std::string& bytes) {
  return is_text(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(TextRule, LinesOfPrintableCharactersAreText) {
  const std::string long_line(kTextProbeSize, 'x');
  const struct {
    const char* what;
    std::string bytes;
    bool is_text;
  } cases[] = {
      {"a log's start", bytes_of("HEADER<CR>⏎··1··10··-20<CR>⏎"), true},
      {"two bare newlines", bytes_of("⏎⏎"), true},
      {"tabs, form feed, vertical tab", bytes_of("a<TAB>b⏎<FF>c<VT>⏎"), true},
      {"code page and UTF-8 letters", bytes_of("<xC0><xFF>⏎<xD0><xB6>⏎"), true},
      {"Ctrl-Z after CR LF ends it", bytes_of("a<CR>⏎+<CR>⏎<^Z><NUL><x01>"), true},
      {"Ctrl-Z after a bare newline", bytes_of("a⏎+⏎<^Z><NUL><x01>"), false},
      {"only the first 4 KiB count", "a\nb\n" + long_line + std::string(1, '\0'), true},
      {"one line", bytes_of("HEADER<CR>⏎"), false},
      {"no newline", bytes_of("a·b<CR>c"), false},
      {"newlines only past 4 KiB", long_line + "\n\n", false},
      {"a NUL", bytes_of("a⏎<NUL>b⏎"), false},
      {"DEL", bytes_of("a⏎<x7F>⏎"), false},
      {"other control characters", bytes_of("a⏎<x08>⏎"), false},
      {"Ctrl-Z inside a line", bytes_of("a⏎+<^Z>⏎"), false},
      {"Ctrl-Z before the second newline", bytes_of("a<CR>⏎<^Z>⏎"), false},
      {"empty", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(text(c.bytes), c.is_text) << c.what;
}

// Value files of random values: files of every size up to 255 bytes can pass for text, rarely;
// from 256 bytes on none may.
TEST(TextRule, RandomValueFilesAreNotText) {
  std::mt19937 random(20261210);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the same files each run
  std::string bytes;
  // Only the first kTextProbeSize bytes are looked at: a longer file is made only that far.
  const auto fill = [&](std::size_t size) {
    bytes.resize(std::min(size, kTextProbeSize + 1));
    std::generate(bytes.begin(), bytes.end(),
                  [&random] { return static_cast<char>(random() & 0xFF); });
  };
  constexpr int kTinyFiles = 200000;
  int tiny_text = 0;
  for (int i = 0; i < kTinyFiles; ++i) {
    fill(2 + 2 * static_cast<std::size_t>(i % 127));  // 2 to 254 bytes, whole values
    tiny_text += text(bytes) ? 1 : 0;
  }
  std::printf("random value files of 2-254 bytes taken for text: %d of %d\n", tiny_text,
              kTinyFiles);
  EXPECT_LT(tiny_text, kTinyFiles / 1000);
  constexpr int kFiles = 20000;
  int larger_text = 0;
  for (int i = 0; i < kFiles; ++i) {
    fill(std::size_t{256} << (i % 9));  // 256 B to 64 KiB
    larger_text += text(bytes) ? 1 : 0;
  }
  EXPECT_EQ(larger_text, 0) << "of " << kFiles;
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

TEST(ExistingFile, OverwrittenOnlyWhenNeitherTheLogNorText) {
  // A log's first block that is not text (a NUL in its header), longer than one probe read.
  std::string log = bytes_of("HEAD<NUL>ER<CR>⏎");
  while (log.size() < 2 * Probe::kSize + 100)
    log += bytes_of("··1··10··-20<CR>⏎");
  std::string changed_late = log;
  changed_late[Probe::kSize + 50] = '7';
  const std::string values = test::items_of({10, -20, 300, 7, -1});
  const struct {
    const char* what;
    std::string held;
    std::string log_start;
    bool overwritten;
  } cases[] = {
      {"the log", log, log, false},
      {"the log with more after its first block", log + "more", log, false},
      {"the log through a short first block", log, log.substr(0, 10), false},
      {"text", "notes\nmore notes\n", log, false},
      {"text, with an empty log", "notes\nmore notes\n", "", false},
      {"values", values, log, true},
      {"values, with an empty log", values, "", true},
      {"the log seen shorter than it is", log.substr(0, Probe::kSize + 1), log, false},
      {"the log's first bytes", log.substr(0, 3), log, false},
      {"values after the log's first bytes", log.substr(0, 5) + values, log, true},
      {"empty", "", log, true},
      {"the log changed past the first read", changed_late, log, true},
  };
  Probe probe;
  for (const auto& c : cases) {
    const ScratchFile file = scratch_file(c.held);
    ASSERT_TRUE(file);
    const LogStart start{reinterpret_cast<const unsigned char*>(c.log_start.data()),
                         c.log_start.size()};
    EXPECT_EQ(may_overwrite(fileno(file.get()), start, probe), c.overwritten) << c.what;
  }
}

}  // namespace
}  // namespace mirtak
