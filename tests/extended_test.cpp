#include "points/extended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <random>

#include "points/zone.h"

using namespace tessera;

namespace {

static_assert(LDBL_MANT_DIG == 64, "the reference needs the x87 extended type");

// The reference: the same two operations in x87 extended precision.
bool x87_count(double max, double min, double pixel, int32_t& count) {
  long double q = (static_cast<long double>(max) - static_cast<long double>(min)) / pixel;
  long double t = std::trunc(q);
  if (!(t >= -2147483648.0L && t <= 2147483647.0L)) return false;
  count = int32_t(t);
  return true;
}

TEST(RasterCount, ExamplesFromSurveyPractice) {
  struct row {
    double max, min, pixel;
    int32_t count;
  };
  const row rows[] = {
      {2100050, 2100000, 0.5, 100}, {500100, 500000, 0.5, 200}, {2100050, 2100000, 0.1, 499},
      {500100, 500000, 0.1, 999},   {50, 0, 3, 16},             {100, 0, 3, 33},
      {505, 600, 10, -9},           {100, 0, 10, 10},           {50, 0, 10, 5},
      {0.3, 0, 0.1, 2},             {600, 505, -10, -9},        {1, 2, 1000, 0},
  };
  for (const row& r : rows) {
    int32_t count = 12345;
    ASSERT_TRUE(raster_count(r.max, r.min, r.pixel, count)) << r.max << " " << r.min << " " << r.pixel;
    EXPECT_EQ(count, r.count) << r.max << " " << r.min << " " << r.pixel;
  }
}

TEST(RasterCount, RefusesZeroAndCountsBeyond32Bits) {
  int32_t count;
  EXPECT_FALSE(raster_count(100, 0, 0.0, count));
  EXPECT_FALSE(raster_count(100, 0, -0.0, count));
  EXPECT_FALSE(raster_count(1e6, 0, 1e-6, count));
  EXPECT_FALSE(raster_count(1.7976931348623157e308, -1.7976931348623157e308, 4.9406564584124654e-324, count));
  EXPECT_TRUE(raster_count(2147483647, 0, 1, count));
  EXPECT_EQ(count, 2147483647);
  EXPECT_FALSE(raster_count(2147483648.0, 0, 1, count));
  EXPECT_TRUE(raster_count(0, 2147483648.0, 1, count));
  EXPECT_EQ(count, -2147483647 - 1);
}

// A zone is refused only when even the largest pixel size gives counts
// beyond 32 bits: 2^31 pixels of just under 2^31 meters span about 4.6e18.
TEST(RasterCount, ZonesThatNoPixelSizeCanServe) {
  struct row {
    double x_min, x_max, y_min, y_max;
    bool served;
  };
  const row rows[] = {
      {0, 0, 0, 0, true},
      {0, 4.6e18, 0, 10, true},
      {4.6e18, 0, 0, 10, true},  // a reversed zone counts the other way
      {0, 4.7e18, 0, 10, false},
      {0, 10, -4.7e18, 0, false},
      {-1e20, 1e20, 0, 10, false},
      {-1.7e308, 1.7e308, 0, 10, false},
  };
  for (const row& r : rows) {
    zone z{r.x_min, r.x_max, r.y_min, r.y_max};
    EXPECT_EQ(zone_has_pixel_size(z), r.served) << r.x_min << " " << r.x_max << " " << r.y_min << " " << r.y_max;
  }
}

TEST(RasterCount, AgreesWithX87OnRandomSpansAndPixels) {
  std::mt19937_64 rng(2026);
  std::uniform_real_distribution<double> unit(0, 1);
  const double pixels[] = {0.1, 0.2, 0.25, 0.3, 0.5, 0.7, 1, 1.5, 2, 2.5, 3, 5, 10, 0.01, 0.05, 25};
  int compared = 0;
  for (int i = 0; i < 300000; ++i) {
    double min, max, pixel;
    switch (i % 3) {
      case 0: {  // round coordinates and common pixel sizes: the near-integer cases
        min = std::round(unit(rng) * 3e6 * 100) / 100;
        max = min + std::round(unit(rng) * 5000 * 10) / 10;
        pixel = pixels[rng() % 16];
        break;
      }
      case 1: {  // anything finite
        min = std::bit_cast<double>(rng());
        max = std::bit_cast<double>(rng());
        pixel = std::bit_cast<double>(rng());
        break;
      }
      default: {  // spans from one exponent scale to another
        min = std::ldexp(unit(rng), int(rng() % 120) - 60);
        max = std::ldexp(unit(rng), int(rng() % 120) - 60);
        pixel = std::ldexp(unit(rng) + 0.5, int(rng() % 60) - 40);
        break;
      }
    }
    if (!std::isfinite(min) || !std::isfinite(max) || !std::isfinite(pixel) || pixel == 0) continue;
    int32_t want = 0;
    int32_t got = 0;
    bool want_ok = x87_count(max, min, pixel, want);
    bool got_ok = raster_count(max, min, pixel, got);
    ASSERT_EQ(got_ok, want_ok) << std::hexfloat << max << " " << min << " " << pixel;
    if (want_ok) {
      ASSERT_EQ(got, want) << std::hexfloat << max << " " << min << " " << pixel;
    }
    ++compared;
  }
  EXPECT_GT(compared, 200000);
}

TEST(ExtendedDifference, RoundsAt64Bits) {
  // 2^64 - 1/2: the exact difference needs 65 bits; a tie, to even (2^64).
  extended d = extended_difference(18446744073709551616.0, 0.5);
  EXPECT_FALSE(d.negative);
  EXPECT_EQ(std::ldexp(static_cast<long double>(d.significand), d.exponent),
            18446744073709551616.0L - 0.5L);
  // A tiny value below a large one only nudges the rounding.
  d = extended_difference(1.0, 1e-300);
  EXPECT_EQ(std::ldexp(static_cast<long double>(d.significand), d.exponent), 1.0L - 1e-300L);
}

}  // namespace
