// What each way through a log gives (log/kernel_set_list.h lists them): whether this processor
// can run it, and its conversion of a block. Every kernel set's conversion is the one generic
// loop (log/fast_way.h) compiled with the set's own instructions for its three steps; the plain
// way reads every byte one at a time (log/reading.h). All give the same values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "log/byte_rules.h"
#include "log/number.h"
#include "log/reading.h"
#include "output/value_writer.h"

namespace mirtak {

// Converts [begin, end) from `reading`, writing the values to out: where the reading then
// stands, and how many bytes it took (fewer only where the data ended).
using Convert = Converted(Reading reading, const unsigned char* begin, const unsigned char* end,
                          ValueWriter& out);

#define MIRTAK_KERNEL_SET(name, processors) \
  namespace name {                          \
  bool runs_here();                         \
  Convert convert;                          \
  }
#include "log/kernel_set_list.h"
#undef MIRTAK_KERNEL_SET

// Helpers the sets' steps share.

// The eight bytes at p as they lie in memory, for a vector lane.
inline long long load8(const unsigned char* p) {
  long long word = 0;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The value of the field at p, one character at a time up to the field's end: for the fields
// whose digits run on past what a set reads at once.
inline std::int16_t field_value(const unsigned char* p, const unsigned char* end) {
  Number number;
  while (p != end && *p != kFieldSeparator && number.take(*p))
    ++p;
  return number.value();
}

// A character as the digit reading sees it, less '0' (modulo 256).
constexpr unsigned char less_zero(unsigned char c) {
  return static_cast<unsigned char>(c - '0');
}

// The multipliers of the x86 sets' digit reading: maddubs takes pairs of digits as 10 * first +
// second, madd pairs of those as 100 * first + second, a multiply (or a madd of the halves packed
// into words) the halves as 10000 * first + second.
inline constexpr short kTensUnits = 0x010A;       // bytes 10, 1
inline constexpr int kHundredsOnes = 0x00010064;  // words 100, 1
inline constexpr long long kTenThousand = 10000;
inline constexpr int kTenThousandsOnes = 0x00012710;  // words 10000, 1

// Reads again, one character at a time, the fields of a group whose digits may go on past the
// eight bytes a set reads at once: bit k of `lanes` for the field at first + at[k], whose item
// goes to out + 2k.
inline void read_long_values(unsigned lanes, const unsigned char* first, const std::uint16_t* at,
                             const unsigned char* end, unsigned char* out) {
  for (; lanes != 0; lanes &= lanes - 1) {
    const auto k = static_cast<std::size_t>(__builtin_ctz(lanes));
    store_item(field_value(first + at[k], end), out + kItemSize * k);
  }
}

}  // namespace mirtak
