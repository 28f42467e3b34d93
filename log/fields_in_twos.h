// How the sets whose vectors hold two fields (NEON, WebAssembly SIMD128) read eight values: the
// order of the steps is written once, here; the steps are each set's own instructions (`Twos`).
// The eight fields' first bytes go two to a vector, a sign turned into a leading zero (a minus
// remembered) and the digits before the first other byte moved to the top of each lane, so the
// bytes below act as leading zeros. The digits are combined by multiplies: pairs of digits, then
// pairs of those (each field's first four digits and its last four), then the two halves, modulo
// 2^16 (the number's low 16 bits); then negated after a minus. A field of eight digits is read
// again one character at a time.
//
// Twos gives:
//   fields(a, b)             the fields at a and b, a TwoFields
//   digit_pairs(digits)      the number of each pair of digits
//   weighted_pairs(p, q)     the number of each pair of those, of p then q (weight 100)
//   weighted_quads(p, q)     the number of each pair of those, of p then q (weight 10000)
//   low_halves(a, b, c, d)   the low 16 bits of each 64-bit lane, in order
//   store(out, magnitudes, negative)   the eight values, negated where negative, as items
//   lanes(go_on)             bit k for field k, from one 16-bit lane each
#pragma once

#include <cstdint>

#include "log/kernels.h"

namespace mirtak {

// Two fields in a vector of a set's type, one in each 64-bit lane.
template <typename Vector>
struct TwoFields {
  Vector digits;     // one to a byte, the last in the top byte; zero bytes below
  Vector negative;   // all ones in a lane after a minus
  Vector may_go_on;  // all ones in a lane of digits alone: the number may go on past them
};

template <typename Twos>
void read_eight_in_twos(const unsigned char* base, const std::uint16_t* at,
                        const unsigned char* end, unsigned char* out) {
  const auto f01 = Twos::fields(base + at[0], base + at[1]);
  const auto f23 = Twos::fields(base + at[2], base + at[3]);
  const auto f45 = Twos::fields(base + at[4], base + at[5]);
  const auto f67 = Twos::fields(base + at[6], base + at[7]);
  const auto quads_0123 =
      Twos::weighted_pairs(Twos::digit_pairs(f01.digits), Twos::digit_pairs(f23.digits));
  const auto quads_4567 =
      Twos::weighted_pairs(Twos::digit_pairs(f45.digits), Twos::digit_pairs(f67.digits));
  Twos::store(out, Twos::weighted_quads(quads_0123, quads_4567),
              Twos::low_halves(f01.negative, f23.negative, f45.negative, f67.negative));
  read_long_values(
      Twos::lanes(Twos::low_halves(f01.may_go_on, f23.may_go_on, f45.may_go_on, f67.may_go_on)),
      base, at, end, out);
}

}  // namespace mirtak
