// How logs read: text rules, line structure, field splitting and conversion, each case checked
// whole and cut into blocks at every offset, so that nothing depends on where a block ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/chunk_masks.h"
#include "log/decoder.h"
#include "output/value_writer.h"
#include "tests/reference.h"
#include "tests/support.h"

namespace mirtak::test {
namespace {

struct LogCase {
  const char* log;  // in the notation of tests/support.h
  std::vector<std::int16_t> values;
};

void expect_values(const std::string& log, const std::vector<std::int16_t>& values) {
  const std::string expected = items_of(values);
  for (const KernelSet* set : available_kernel_sets()) {
    SCOPED_TRACE(set->name);
    EXPECT_EQ(convert(log, {0}, *set), expected) << "whole";
    EXPECT_EQ(convert(log, {1}, *set), expected) << "a byte at a time";
    EXPECT_EQ(convert(log, {3, 1, 7}, *set), expected) << "blocks of 3, 1, 7";
    for (std::size_t cut = 1; cut < log.size(); ++cut) {
      EXPECT_EQ(convert(log, {cut, log.size()}, *set), expected) << "cut at " << cut;
    }
  }
}

void check_table(const std::vector<LogCase>& table) {
  for (const LogCase& c : table) {
    SCOPED_TRACE(c.log);
    expect_values(bytes_of(c.log), c.values);
  }
}

TEST(Decoder, LineStructure) {
  check_table({
      {"RUN·7⏎··1··10··-20⏎··2··11··300⏎+⏎", {10, -20, 11, 300}},  // a typical run
      {"RUN·7⏎+⏎", {}},
      {"1·2·3⏎+⏎", {}},             // the header is never converted
      {"+HDR⏎A·1⏎+⏎A·2⏎", {1}},     // a header starting with + is just a header
      {"H⏎A·1⏎+·END⏎A·2⏎+⏎", {1}},  // text after + and all later lines ignored
      {"H⏎··+5·6⏎+⏎", {6}},         // + after spaces does not end the data
      {"H⏎A·+5⏎+⏎", {5}},           // + later in the line neither
      {"H⏎⏎A·1⏎⏎+⏎", {1}},          // empty lines are data lines without values
      {"H⏎····⏎A·1⏎+⏎", {1}},       // so are lines of spaces only
      {"H⏎A·1⏎A·2⏎", {1, 2}},       // the input ends before any terminator
      {"H⏎A·1⏎A·2", {1, 2}},        // a last line without newline still counts
      {"H⏎A·2·", {2, 0}},           // ... exactly as if a newline followed
      {"", {}},                     // an empty log
      {"RUN", {}},                  // a header alone, with or without newline
      {"RUN⏎", {}},
  });
}

TEST(Decoder, TextRules) {
  check_table({
      {"RUN·7<CR>⏎··1··10<CR>⏎+<CR>⏎", {10}},  // CR LF reads as LF
      {"H⏎··1··2<CR>3⏎+⏎", {23}},              // a CR inside a line is dropped
      {"H⏎A·<CR><CR><CR>5⏎", {5}},             // several in a row
      {"H⏎A·1⏎<CR>", {1}},                     // a CR as the last byte
      {"H⏎<CR>+⏎A·1⏎", {}},                    // a CR does not hide the terminator's +
      {"H<CR>⏎A·1<CR>", {1}},
      {"H⏎A·1⏎+⏎<^Z>A·2⏎", {1}},          // Ctrl-Z after the terminator changes nothing
      {"H⏎A·1⏎A·2<^Z>3⏎+⏎A·4⏎", {1, 2}},  // Ctrl-Z ends the input: A·2 is the last line
      {"H⏎A·1⏎<^Z>A·2⏎", {1}},
      {"H<^Z>⏎A·1⏎", {}},
      {"<^Z>H⏎A·1⏎", {}},
      {"H⏎A·1<^Z><^Z>⏎A·2⏎", {1}},
  });
}

TEST(Decoder, FieldSplitting) {
  check_table({
      {"H⏎···10···200····-3⏎", {200, -3}},
      {"H⏎A·1·2⏎A····1·····2⏎", {1, 2, 1, 2}},
      {"H⏎A·1·2·⏎", {1, 2, 0}},  // spaces before the newline make one more field
      {"H⏎A·1·2····⏎", {1, 2, 0}},
      {"H⏎A⏎", {}},
      {"H⏎A·987⏎B·7⏎", {987, 7}},  // nothing of an earlier line is read again
      {"H⏎0·1·2·3·4·5·6·7·8·9⏎", {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"H⏎0·1·2·3·4·5·6·7·8·9·10·11·12⏎", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"H⏎A·99999999999·1⏎", {-6145, 1}},
      {"H⏎·····1····100·····-2⏎", {100, -2}},
      {"H⏎X·40000·-32768·32767⏎", {-25536, -32768, 32767}},
  });
}

// What reads as a number and where it stops, each field cut at every offset (the numbers
// themselves, every digit string up to six digits and the 32-bit wraps, are swept on every
// kernel set in tests/number_sweep_test.cc).
TEST(Decoder, FieldValues) {
  const struct {
    const char* field;
    std::int16_t value;
  } table[] = {
      {"+5", 5},
      {"-5", -5},
      {"+-5", 0},
      {"--5", 0},
      {"-", 0},
      {"+", 0},
      {"<TAB>-5", -5},
      {"3.9", 3},
      {"1e3", 1},
      {"12ab", 12},
      {"ab12", 0},
      {"2147483648", 0},
      {"-2147483648", 0},
      {"4294967301", 5},
      {"99999999999", -6145},
      {"-99999999999", 6145},
      // Longer than any fixed field: every digit still counts.
      {"000000000000000000000000000123", 123},
      {"123456789012345678901234567890", 2770},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.field);
    expect_values(bytes_of(std::string("H⏎A·") + c.field + "⏎"), {c.value});
  }
}

// Lines, fields and numbers far past any fixed buffer are carried whole.
TEST(Decoder, NoFixedLimits) {
  std::string log = "H" + std::string(100000, 'h') + "\n";
  std::vector<std::int16_t> values;
  std::string line = "first";
  for (int i = 0; i < 20000; ++i) {
    line += "   " + std::to_string(i - 10000);
    values.push_back(static_cast<std::int16_t>(i - 10000));
  }
  line += " " + std::string(50000, '0') + "77" + "\r\n";
  values.push_back(77);
  log += line + "+\n";
  const std::string expected = items_of(values);
  for (const KernelSet* set : available_kernel_sets()) {
    SCOPED_TRACE(set->name);
    EXPECT_EQ(convert(log, {0}, *set), expected);
    EXPECT_EQ(convert(log, {4096}, *set), expected);
    EXPECT_EQ(convert(log, {1, 79, 80, 81, 12, 13}, *set), expected);
  }
}

// Data lines the fast ways take, or hand back to the plain reader, with every byte of them at
// every position of the 64-byte chunks they are classified in.
TEST(Decoder, EveryAlignment) {
  const LogCase body = {
      "··1··10··-20<CR>⏎"                                // ordinary CR LF
      "7·12345678·123456789·-99999999·+00000000065536⏎"  // eight digits and more
      "8·1·2·<CR>⏎"                                      // a space before CR LF: one more 0
      "9··+-5·--5·-·+·12-3·1+2⏎"                         // signs where they stop a number
      "···<CR>⏎<CR>⏎⏎"                                   // spaces only, empty lines
      "10·<CR>·5⏎"                                       // a lone CR is dropped: 10··5
      "A<TAB>B<xFF>·3⏎"                                  // anything in the dropped field
      "1·2·x3·<TAB>4⏎"                                   // and elsewhere: read as text
      "···+5·6⏎"                                         // + after spaces: a data line
      "1·2<CR><CR>⏎"                                     // two CRs before the newline
      "1·2<CR>3⏎"                                        // a CR just before the last byte
      "<CR>+⏎1·99⏎",  // the terminator, behind a CR that is dropped
      {10, -20, 24910, -13035, 7937, 0, 1, 2, 0, 0, 0, 0, 0, 12, 1, 5, 3, 2, 0, 4, 6, 2, 23}};
  // As many values as 64 bytes can hold: one-digit fields, and a space before the newline.
  std::string dense = "x";
  std::vector<std::int16_t> values(40, 7);
  for (std::size_t i = 0; i < values.size(); ++i)
    dense += " 7";
  dense += " \n";
  values.push_back(0);
  values.insert(values.end(), body.values.begin(), body.values.end());
  for (std::size_t shift = 0; shift <= 2 * 64 + 1; ++shift) {
    SCOPED_TRACE(shift);
    // A first data line of one field moves the rest within the chunks, as the fast ways classify
    // from the first data line on.
    expect_values("H\n" + std::string(shift, '9') + "\n" + dense + bytes_of(body.log), values);
  }
}

// Every field the vector steps leave to the plain reading's step, with its first odd byte at
// every offset of two chunks and around the end of the first stretch, then ordinary fields: the
// step must hand back to the vector steps at every place, on every set, and a block cut right
// after the odd byte must not change anything. Offsets are counted from the first data line,
// where the vector steps start, and sizes come from the reading's own constants.
TEST(Decoder, FieldsForThePlainReadingAtEveryOffset) {
  const char* const odd[] = {
      "12<CR>34",     "12<TAB>34", "12<VT>34",   "12<FF>34", "12<x08>34",
      "12<x0E>34",    "<TAB>7",    "12<^Z>34",   "⏎+·5",     "123456789012",
      "-99999999999", "+<CR>5",    "<x0F><CR>⏎", "12<CR>",   "1<CR>·<CR>",
  };
  std::vector<std::size_t> offsets;
  for (std::size_t at = 0; at < 2 * kChunkSize + 2; ++at)
    offsets.push_back(at);
  for (std::size_t at = kStretchSize - kChunkSize - 2; at <= kStretchSize + kChunkSize + 2; ++at)
    offsets.push_back(at);
  const std::string header = "H\n";
  for (const char* token : odd) {
    const std::string bytes = bytes_of(token);
    const std::size_t first_odd = bytes.find_first_not_of("0123456789-+");
    const std::size_t lead = first_odd == std::string::npos ? 0 : first_odd;
    for (const std::size_t at : offsets) {
      SCOPED_TRACE(std::string(token) + " at " + std::to_string(at));
      // A dropped first field of one or two bytes, then fields "5", so that the token's first odd
      // byte lands `at` bytes into the data (too near the start, in the first field itself);
      // then ordinary fields over two more chunks.
      std::string log = header;
      if (at >= 2 + lead) {
        const std::size_t first = 1 + (at - 2 - lead) % 2;
        log += std::string(first, '1');
        for (std::size_t i = 0; i < (at - 1 - lead - first) / 2; ++i)
          log += " 5";
        log += " ";
      } else {
        log += std::string(at - std::min(at, lead), 'A');
      }
      log += bytes;
      for (int i = 0; i < 50; ++i)
        log += " " + std::to_string(i * 37 - 900);
      log += "\n2 5\n";
      const std::size_t landed = log.find(bytes, header.size()) + lead - header.size();
      if (at >= lead) {
        ASSERT_EQ(landed, at);
      }
      const std::string expected = items_of(reference_values(log));
      const std::size_t cut = header.size() + landed + 1;
      for (const KernelSet* set : available_kernel_sets()) {
        ASSERT_EQ(convert(log, {0}, *set), expected) << set->name << ", whole";
        ASSERT_EQ(convert(log, {cut, log.size()}, *set), expected) << set->name << ", cut after";
      }
    }
  }
}

// Where the data ends, as a reader of the log is told: at the terminator line's "+" or at the
// first Ctrl-Z, counted from the log's start however it is cut; the log's end if neither comes.
TEST(Decoder, WhereTheDataEnds) {
  class Discard final : public ByteSink {
   public:
    bool write(const unsigned char* /*data*/, std::size_t /*size*/) override { return true; }
  };
  const struct {
    const char* log;
    const char* end;  // where the data ends: the text before it
  } cases[] = {
      {"H⏎A·1⏎+⏎A·2⏎", "H⏎A·1⏎"},
      {"+H⏎A·1<CR>⏎<CR>+·END", "+H⏎A·1<CR>⏎<CR>"},  // a dropped CR before the mark
      {"H⏎A·1<^Z>·2⏎+⏎", "H⏎A·1"},
      {"H<^Z>⏎A·1⏎", "H"},             // in the header
      {"H⏎··+·1⏎A·2", "H⏎··+·1⏎A·2"},  // no end: the log's
      {"H⏎A·1⏎+", "H⏎A·1⏎"},
  };
  for (const auto& c : cases) {
    const std::string log = bytes_of(c.log);
    const std::size_t expected = bytes_of(c.end).size();
    for (const KernelSet* set : available_kernel_sets()) {
      for (std::size_t block = 1; block <= log.size(); ++block) {
        Discard sink;
        ValueWriter writer(sink);
        Decoder decoder(writer, *set);
        std::size_t end = 0;
        for (std::size_t at = 0; at < log.size(); at += block) {
          const std::size_t size = std::min(block, log.size() - at);
          const bool more =
              decoder.feed(reinterpret_cast<const unsigned char*>(log.data()) + at, size);
          end += more ? size : decoder.data_end();
          if (!more) break;
        }
        EXPECT_EQ(end, expected) << c.log << ", " << set->name << ", blocks of " << block;
      }
    }
  }
}

}  // namespace
}  // namespace mirtak::test
