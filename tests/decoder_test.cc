// How logs read: text rules, line structure, field splitting and conversion, each case checked
// whole and cut into pieces at every offset, so that nothing depends on where a block ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    EXPECT_EQ(convert(log, {3, 1, 7}, *set), expected) << "pieces of 3, 1, 7";
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

// A byte the fast way leaves to the plain reader, unless a newline follows it, read at the last
// bytes of the part of a block classified at a time (8 KiB from where the fast way started) and
// of the chunks around it: whether the byte after it is a newline is known only from the next
// part.
TEST(Decoder, WhiteSpaceAtTheEndOfAStretch) {
  const struct {
    const char* byte;
    std::int16_t value;  // of the field 12<byte>34
  } cases[] = {{"<CR>", 1234}, {"<TAB>", 12}, {"<VT>", 12}, {"<FF>", 12}, {"<x08>", 12}};
  const std::size_t first = 2;  // the fast way starts after the header line "H⏎"
  for (const auto& c : cases) {
    for (std::size_t at = 8192 - 66; at <= 8192 + 66; ++at) {
      SCOPED_TRACE(std::string(c.byte) + " at " + std::to_string(at));
      // A dropped first field of one or two bytes, then fields "5", so that the byte lands at
      // `at` bytes from the line's start.
      const std::size_t pad = (at - 3) % 2 == 1 ? 1 : 2;
      std::vector<std::int16_t> values((at - 3 - pad) / 2, 5);
      std::string log = "H\n" + std::string(pad, '1');
      for (std::size_t i = 0; i < values.size(); ++i)
        log += " 5";
      log += " 12" + bytes_of(c.byte) + "34 9\n2 5\n";
      values.insert(values.end(), {c.value, 9, 5});
      ASSERT_EQ(log.find(bytes_of(c.byte)), first + at);
      const std::string expected = items_of(values);
      for (const KernelSet* set : available_kernel_sets()) {
        SCOPED_TRACE(set->name);
        EXPECT_EQ(convert(log, {0}, *set), expected) << "whole";
        EXPECT_EQ(convert(log, {first + at + 1, log.size()}, *set), expected) << "cut after it";
      }
    }
  }
}

}  // namespace
}  // namespace mirtak::test
