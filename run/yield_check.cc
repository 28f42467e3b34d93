#include "run/yield_check.h"

#include <algorithm>
#include <cstring>

namespace mirtak {

std::ptrdiff_t MemoryBytes::read_at(unsigned char* buffer, std::size_t size, std::uint64_t offset) {
  if (offset >= size_) return 0;
  const auto at = static_cast<std::size_t>(offset);
  const std::size_t got = std::min(size, size_ - at);
  std::memcpy(buffer, data_ + at, got);
  return static_cast<std::ptrdiff_t>(got);
}

void YieldCheck::Comparison::start(const unsigned char* expected, std::size_t size) {
  expected_ = expected;
  size_ = size;
  matched_ = 0;
  differs_ = false;
}

bool YieldCheck::Comparison::write(const unsigned char* data, std::size_t size) {
  const std::size_t compared = std::min(size, size_ - matched_);
  if (compared != 0 && std::memcmp(data, expected_ + matched_, compared) != 0) {
    differs_ = true;
    return false;
  }
  matched_ += compared;
  return compared == size;  // past the expected bytes, nothing more is compared
}

YieldCheck::Result YieldCheck::compare(ByteSource& source, std::uint64_t reach,
                                       const unsigned char* expected, std::size_t size) {
  comparison_.start(expected, size);
  decoder_.reset();
  writer_.emplace(comparison_);
  decoder_.emplace(*writer_);
  std::uint64_t at = 0;
  std::size_t step = kFirstRead;
  while (at < reach) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(step, reach - at));
    const std::ptrdiff_t got = source.read_at(block_, want, at);
    if (got < 0) return Result::kUnreadable;
    // The decoder may rewrite the block it is given: it is given the check's own.
    const bool ended = got == 0 || !decoder_->feed(block_, static_cast<std::size_t>(got));
    if (ended) decoder_->finish();  // a last line without a newline still yields its values
    // What the block yielded is compared now, not once a whole piece has gathered.
    writer_->flush();
    if (ended || comparison_.differs() || comparison_.complete()) break;
    at += static_cast<std::uint64_t>(got);
    step = std::min(step * 2, kBlockSize);
  }
  const bool agrees = !comparison_.differs() && comparison_.matched() >= kItemSize;
  return agrees ? Result::kAgrees : Result::kDiffers;
}

}  // namespace mirtak
