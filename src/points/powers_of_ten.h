// The powers of ten, for the number reader and the "%lf" writer alike.
#pragma once

#include <cstdint>

namespace tessera {

// 10^0 to 10^19: every power of ten that fits a 64-bit unsigned integer.
constexpr uint64_t powers_of_ten[20] = {1u,
                                        10u,
                                        100u,
                                        1000u,
                                        10000u,
                                        100000u,
                                        1000000u,
                                        10000000u,
                                        100000000u,
                                        1000000000u,
                                        10000000000u,
                                        100000000000u,
                                        1000000000000u,
                                        10000000000000u,
                                        100000000000000u,
                                        1000000000000000u,
                                        10000000000000000u,
                                        100000000000000000u,
                                        1000000000000000000u,
                                        10000000000000000000u};

// The largest power of ten that is an exact double: 10^22 = 2^22 x 5^22,
// and 5^22 < 2^53.
constexpr int exact_power_max = 22;

// 10^0 to 10^22 as doubles, each exact: 10^k for k <= 19 is an integer of
// at most 53 significant bits times a power of two, and so is its product
// with a small exact power for k > 19.
struct exact_double_powers {
  double value[exact_power_max + 1];
  constexpr exact_double_powers() : value{} {
    for (int k = 0; k <= exact_power_max; ++k) {
      value[k] = k < 20 ? double(powers_of_ten[k]) : double(powers_of_ten[19]) * double(powers_of_ten[k - 19]);
    }
  }
};
constexpr exact_double_powers exact_powers{};
static_assert(exact_powers.value[22] == 1e22 && exact_powers.value[19] == 1e19 && exact_powers.value[7] == 1e7);

}  // namespace tessera
