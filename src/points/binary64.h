// The parts of a double: sign, integer significand and binary exponent.
#pragma once

#include <bit>
#include <cstdint>

namespace tessera {

struct binary64 {
  bool negative;
  bool finite;
  uint64_t m;  // the significand with its hidden bit: |x| = m x 2^e when finite
  int e;
};

inline binary64 decode_double(double x) {
  uint64_t bits = std::bit_cast<uint64_t>(x);
  int biased = int(bits >> 52) & 0x7ff;
  uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
  return {(bits >> 63) != 0, biased != 0x7ff, biased == 0 ? fraction : fraction | (uint64_t(1) << 52),
          biased == 0 ? -1074 : biased - 1075};
}

}  // namespace tessera
