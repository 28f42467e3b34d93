#include "output/value_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace mirtak {
namespace {

class RecordingSink final : public ByteSink {
 public:
  explicit RecordingSink(int writes_before_failure = -1) : left_(writes_before_failure) {}
  bool write(const unsigned char* data, std::size_t size) override {
    ++calls;
    if (left_ == 0) return false;
    if (left_ > 0) --left_;
    chunks.emplace_back(reinterpret_cast<const char*>(data), size);
    written += size;
    return true;
  }
  std::string bytes() const {
    std::string all;
    for (const auto& c : chunks)
      all += c;
    return all;
  }
  std::vector<std::string> chunks;
  std::size_t written = 0;  // bytes taken, without gathering them on every call
  int calls = 0;

 private:
  int left_;
};

// The item the writer is given as number i, and the bytes it must come out as.
std::int16_t item(std::size_t i) {
  return static_cast<std::int16_t>(i * 7919);
}
void append_item(std::string& bytes, std::int16_t v) {
  bytes += static_cast<char>(static_cast<std::uint16_t>(v) >> 8);
  bytes += static_cast<char>(static_cast<std::uint16_t>(v) & 0xFF);
}

// Items come one at a time (put) or as reservations of a few to the most a reservation may hold,
// in sizes that straddle the pieces' ends in every way: every piece but the last is whole.
TEST(ValueWriter, HandsOverWholePiecesAndTheRestAtTheEnd) {
  struct Case {
    const char* name;
    std::vector<std::size_t> reservations;  // 0: one put()
    std::size_t repeat;
  };
  const Case cases[] = {
      {"puts only", {0}, ValueWriter::kPieceSize + 3},
      {"odd reservations", {1, 3, 997, 0, 4093}, 40},
      {"largest reservations", {ValueWriter::kMaxReserve}, 9},
      {"largest after a put", {0, ValueWriter::kMaxReserve, ValueWriter::kMaxReserve - 1}, 7},
      {"a piece exactly", {ValueWriter::kPieceSize / kItemSize / 4}, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSink sink;
    ValueWriter writer(sink);
    std::string expected;
    std::size_t n = 0;
    for (std::size_t r = 0; r < c.repeat; ++r) {
      for (const std::size_t items : c.reservations) {
        if (items == 0) {
          writer.put(item(n));
          append_item(expected, item(n++));
          continue;
        }
        unsigned char* out = writer.reserve(items);
        for (std::size_t i = 0; i < items; ++i, ++n) {
          store_item(item(n), out + 2 * i);
          append_item(expected, item(n));
        }
        writer.commit(items);
      }
    }
    ASSERT_TRUE(writer.flush());
    ASSERT_TRUE(writer.flush());  // nothing left: no empty write
    EXPECT_EQ(sink.bytes(), expected);
    const std::size_t whole = expected.size() / ValueWriter::kPieceSize;
    const bool rest = expected.size() % ValueWriter::kPieceSize != 0;
    ASSERT_EQ(sink.chunks.size(), whole + (rest ? 1 : 0));
    for (std::size_t k = 0; k < whole; ++k)
      EXPECT_EQ(sink.chunks[k].size(), ValueWriter::kPieceSize) << "piece " << k;
    EXPECT_EQ(sink.calls, static_cast<int>(sink.chunks.size()));
  }
}

// Whoever observes the writer is told every item once, in order, and each line's end between the
// right two items, however the lines lie against the reservations and the pieces, before any of
// them goes out or moves.
class LineRecorder final : public LineValues {
 public:
  explicit LineRecorder(const RecordingSink& sink) : sink_(sink) {}
  void take_values(const unsigned char* items, std::size_t count) override {
    EXPECT_NE(count, 0u);
    bytes.append(reinterpret_cast<const char*>(items), count * kItemSize);
    // Nothing is told after the sink has had it.
    EXPECT_LE(sink_.written, bytes.size() - count * kItemSize);
  }
  void line_ended() override { ends.push_back(bytes.size() / kItemSize); }
  std::string bytes;
  std::vector<std::size_t> ends;

 private:
  const RecordingSink& sink_;
};

TEST(ValueWriter, TellsItsObserverEveryItemAndEveryLineEndInOrder) {
  RecordingSink sink;
  ValueWriter writer(sink);
  LineRecorder lines(sink);
  writer.observe(lines);
  std::string expected;
  std::vector<std::size_t> expected_ends;
  std::size_t n = 0;
  const std::size_t line_widths[] = {3, 0, 1, 4099, 0, 0, 17};
  std::size_t w = 0;
  // Reservations of every size up to the largest, each holding several line ends (some lines
  // without items), through several pieces; then puts, and lines across a piece's end.
  for (std::size_t reserve = 1; n < 3 * ValueWriter::kPieceSize / kItemSize; reserve += 997) {
    const std::size_t items = std::min(reserve, ValueWriter::kMaxReserve);
    unsigned char* out = writer.reserve(items);
    std::size_t left_in_line = line_widths[w % std::size(line_widths)];
    for (std::size_t i = 0; i <= items; ++i) {
      while (left_in_line == 0) {
        writer.end_line(i);
        expected_ends.push_back(n);
        left_in_line = line_widths[++w % std::size(line_widths)];
      }
      if (i == items) break;
      store_item(item(n), out + 2 * i);
      append_item(expected, item(n++));
      --left_in_line;
    }
    writer.commit(items);
  }
  for (std::size_t i = 0; i < ValueWriter::kPieceSize; ++i, ++n) {
    writer.put(item(n));
    append_item(expected, item(n));
    if (i % 5 == 0) {
      writer.end_line();
      expected_ends.push_back(n + 1);
    }
  }
  ASSERT_TRUE(writer.flush());
  EXPECT_EQ(sink.bytes(), expected);
  EXPECT_EQ(lines.bytes, expected);
  EXPECT_EQ(lines.ends, expected_ends);
}

TEST(ValueWriter, AfterAFailedWriteKeepsThePrefixAndWritesNoMore) {
  RecordingSink sink(1);
  ValueWriter writer(sink);
  for (std::size_t i = 0; i < 2 * ValueWriter::kPieceSize; ++i)
    writer.put(-1);
  EXPECT_TRUE(writer.failed());
  writer.put(5);
  EXPECT_FALSE(writer.flush());
  EXPECT_FALSE(writer.flush());
  EXPECT_EQ(sink.calls, 2);  // the one that failed, and none after it
  EXPECT_EQ(sink.bytes(), std::string(ValueWriter::kPieceSize, '\xff'));
}

}  // namespace
}  // namespace mirtak
