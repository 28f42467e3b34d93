// The value readers of every kernel set, swept over the numbers a field holds: every digit string
// of 1 to 6 digits (so every number below a million, with and without leading zeros), each with
// no sign, "+" and "-"; every number next to a multiple of 2^32 (where the 32-bit arithmetic
// wraps) up to 15 digits; and random numbers of 7 to 15 digits, which run past the eight bytes a
// kernel reads at once. Each is a field of a data line, so it takes the real path through the
// masks and the value readers, and must come out as a number read one character at a time does.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "log/number.h"
#include "tests/support.h"

namespace mirtak::test {
namespace {

// Lines of many fields each, after a header line.
class SweepLog {
 public:
  SweepLog() : log_("NUMBERS\n") {}

  void add(const std::string& field) {
    if (in_line_ == 0) log_ += 'L';
    log_ += ' ';
    starts_.push_back(log_.size());
    log_ += field;
    Number number;
    for (const char c : field)
      number.take(static_cast<unsigned char>(c));
    values_.push_back(number.value());
    if (++in_line_ == kFieldsPerLine) {
      log_ += '\n';
      in_line_ = 0;
    }
  }

  // Ends the last line.
  void finish() {
    if (in_line_ != 0) log_ += '\n';
    in_line_ = 0;
  }

  const std::string& log() const { return log_; }
  const std::vector<std::int16_t>& values() const { return values_; }

  // The field whose value is item i.
  std::string field(std::size_t i) const {
    const std::size_t end = log_.find_first_of(" \n", starts_[i]);
    return log_.substr(starts_[i], end - starts_[i]);
  }

 private:
  // Odd, so fields fall at every place of a chunk and of a reader's group of lanes.
  static constexpr int kFieldsPerLine = 1001;
  std::string log_;
  std::vector<std::size_t> starts_;
  std::vector<std::int16_t> values_;
  int in_line_ = 0;
};

const SweepLog& sweep() {
  static const SweepLog log = [] {
    SweepLog s;
    const char* const kSigns[] = {"", "+", "-"};
    std::string digits;
    for (int length = 1, count = 10; length <= 6; ++length, count *= 10) {
      for (int n = 0; n < count; ++n) {
        digits = std::to_string(n);
        digits.insert(0, static_cast<std::size_t>(length) - digits.size(), '0');
        for (const char* sign : kSigns)
          s.add(sign + digits);
      }
    }
    const std::uint64_t kLargest = 999'999'999'999'999;  // 15 digits
    for (std::uint64_t wrap = std::uint64_t{1} << 32; wrap <= kLargest;
         wrap += std::uint64_t{1} << 32) {
      s.add(std::to_string(wrap - 1));
      s.add("-" + std::to_string(wrap));
      s.add("+" + std::to_string(wrap + 1));
    }
    std::mt19937_64 rng(20261209);  // NOLINT(cert-msc32-c,cert-msc51-cpp): reproducible
    std::uniform_int_distribution<int> length(7, 15);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int i = 0; i < 200'000; ++i) {
      std::string number = kSigns[i % 3];
      for (int n = length(rng); n > 0; --n)
        number += static_cast<char>('0' + digit(rng));
      s.add(number);
    }
    s.finish();
    return s;
  }();
  return log;
}

TEST(NumberSweep, EveryKernelSetReadsEveryNumberAsTheNumberReadingDoes) {
  const SweepLog& s = sweep();
  const std::string expected = items_of(s.values());
  for (const KernelSet* set : available_kernel_sets()) {
    if (set == &kPlainWay) continue;  // that is the number reading itself
    SCOPED_TRACE(set->name);
    const std::string bytes = convert(s.log(), {0}, *set);
    ASSERT_EQ(bytes.size(), expected.size());
    for (std::size_t i = 0, reported = 0; i < s.values().size() && reported < 10; ++i) {
      if (bytes.compare(2 * i, 2, expected, 2 * i, 2) != 0) {
        ADD_FAILURE() << "field \"" << s.field(i) << "\" is not " << s.values()[i];
        ++reported;
      }
    }
  }
}

}  // namespace
}  // namespace mirtak::test
