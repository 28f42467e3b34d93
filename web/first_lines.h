// The first lines of a value file, to be plotted before it is saved: their values, up to
// kValues of them, and where each of the first kLines lines ends among those values. Told by
// the writer beside the shape (output/value_shape.h).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "output/value_writer.h"

namespace mirtak {

class FirstLines final : public LineValues {
 public:
  static constexpr std::size_t kValues = 32768;
  static constexpr std::size_t kLines = 2048;

  void take_values(const unsigned char* items, std::size_t count) override {
    const std::size_t kept = std::min(count, kValues - values_kept_);
    for (std::size_t i = 0; i < kept; ++i)
      values_[values_kept_ + i] = load_item(items + i * kItemSize);
    values_kept_ += kept;
    told_ += count;
  }

  // A line counts while all its values are kept.
  void line_ended() override {
    if (lines_kept_ < kLines && told_ <= kValues)
      ends_[lines_kept_++] = static_cast<std::uint32_t>(told_);
  }

  const std::int16_t* values() const { return values_; }
  std::size_t values_kept() const { return values_kept_; }
  const std::uint32_t* line_ends() const { return ends_; }
  std::size_t lines_kept() const { return lines_kept_; }

 private:
  std::uint64_t told_ = 0;
  std::int16_t values_[kValues] = {};
  std::size_t values_kept_ = 0;
  std::uint32_t ends_[kLines] = {};
  std::size_t lines_kept_ = 0;
};

}  // namespace mirtak
