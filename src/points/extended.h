// Arithmetic on a 64-bit significand, the format of the x87 extended type,
// done with exact integer operations so that every compiler and processor
// gives the same result: each operation is rounded to nearest, ties to even,
// at 64 significant bits. The exponent is not bounded, so nothing overflows.
#pragma once

#include <cstdint>

namespace tessera {

// value = (-1)^negative x significand x 2^exponent
struct extended {
  bool negative;
  uint64_t significand;
  int exponent;
};

// a - b, for finite a and b, rounded to a 64-bit significand.
extended extended_difference(double a, double b);

// a / b, for finite non-zero b, rounded to a 64-bit significand.
extended extended_quotient(extended a, double b);

// Truncates toward zero. False if the integer does not fit 32 signed bits.
bool truncate_to_int32(extended v, int32_t& out);

}  // namespace tessera
