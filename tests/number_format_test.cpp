#include "points/number_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

using namespace tessera;

namespace {

std::string ours(double v) {
  char text[lf_text_max];
  return std::string(text, format_lf(text, v));
}

std::string printf_lf(double v) {
  char text[400];
  std::snprintf(text, sizeof text, "%lf", v);
  return text;
}

void expect_like_printf(double v) {
  ASSERT_EQ(ours(v), printf_lf(v)) << std::hexfloat << v;
}

TEST(NumberFormat, FixedValues) {
  const double values[] = {0.0, -0.0, 512345.5, 2134567.25, 1520.125, -98449.688, 0.0000005, 0.0000015,
                           0.0078125,  // exactly 7812.5 millionths: a tie, to the even 7812
                           0.0234375, 1e-7, -1e-9, 4.9406564584124654e-324, 1.7976931348623157e308, 1e15,
                           9007199254740993.0, 18446744073709551615.0, 1e22, 123456789012345.678};
  for (double v : values) expect_like_printf(v);
  EXPECT_EQ(ours(-0.0), "-0.000000");
  EXPECT_EQ(ours(512345.5), "512345.500000");
}

TEST(NumberFormat, MatchesPrintfOnMillionsOfValues) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> coordinate(-3e6, 3e6);
  for (int i = 0; i < 1000000; ++i) {
    // Any finite bit pattern.
    double any = std::bit_cast<double>(rng());
    if (std::isfinite(any)) expect_like_printf(any);
    // Coordinates with a few decimals, as survey files hold them.
    double c = std::round(coordinate(rng) * 1000) / 1000;
    expect_like_printf(c);
    // Exact ties at the sixth decimal: odd multiples of 2^-7.
    double tie = std::ldexp(double(rng() % (uint64_t(1) << 40) | 1), -7);
    expect_like_printf(i % 2 == 0 ? tie : -tie);
    // Values near the 64-bit limit of the fast path.
    expect_like_printf(std::ldexp(double(rng() >> 11), int(rng() % 80) - 40));
  }
}

}  // namespace
