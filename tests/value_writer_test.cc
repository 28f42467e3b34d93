#include "output/value_writer.h"

#include <gtest/gtest.h>

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
    return true;
  }
  std::string bytes() const {
    std::string all;
    for (const auto& c : chunks)
      all += c;
    return all;
  }
  std::vector<std::string> chunks;
  int calls = 0;

 private:
  int left_;
};

TEST(ValueWriter, WritesInLargeBlocksWithNothingAdded) {
  RecordingSink sink;
  ValueWriter writer(sink);
  const std::size_t count = ValueWriter::kBufferSize + 3;  // spans three blocks
  std::string expected;
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::int16_t>(i * 7919);
    writer.put(v);
    expected += static_cast<char>(static_cast<std::uint16_t>(v) >> 8);
    expected += static_cast<char>(static_cast<std::uint16_t>(v) & 0xFF);
  }
  ASSERT_TRUE(writer.flush());
  ASSERT_TRUE(writer.flush());  // nothing left: no empty write
  EXPECT_EQ(sink.bytes(), expected);
  ASSERT_EQ(sink.chunks.size(), 3u);
  EXPECT_EQ(sink.chunks[0].size(), ValueWriter::kBufferSize);
  EXPECT_EQ(sink.chunks[1].size(), ValueWriter::kBufferSize);
  EXPECT_EQ(sink.calls, 3);
}

TEST(ValueWriter, AfterAFailedWriteKeepsThePrefixAndWritesNoMore) {
  RecordingSink sink(1);
  ValueWriter writer(sink);
  for (std::size_t i = 0; i < 2 * ValueWriter::kBufferSize; ++i)
    writer.put(-1);
  EXPECT_TRUE(writer.failed());
  writer.put(5);
  EXPECT_FALSE(writer.flush());
  EXPECT_FALSE(writer.flush());
  EXPECT_EQ(sink.calls, 2);  // the one that failed, and none after it
  EXPECT_EQ(sink.bytes(), std::string(ValueWriter::kBufferSize, '\xff'));
}

}  // namespace
}  // namespace mirtak
