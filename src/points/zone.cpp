#include "points/zone.h"

#include "points/extended.h"

namespace tessera {

namespace {

// The pixel size is shown as a whole number of meters in a 32-bit signed
// integer, so its magnitude must stay below 2^31: the largest accepted is
// the double just below 2^31.
constexpr double largest_pixel = 2147483648.0 - 1.0 / (1 << 22);

}  // namespace

bool pixel_fits_meters(double pixel) { return pixel > -2147483649.0 && pixel < 2147483648.0; }

bool raster_count(double max, double min, double pixel, int32_t& count) {
  if (pixel == 0.0) return false;
  return truncate_to_int32(extended_quotient(extended_difference(max, min), pixel), count);
}

bool zone_has_pixel_size(const zone& z) {
  static_assert(largest_pixel < 2147483648.0 && largest_pixel + 1.0 / (1 << 22) == 2147483648.0);
  // Counts shrink as the pixel grows, so if the largest pixel gives counts
  // beyond 32 bits, every pixel does.
  int32_t count;
  return raster_count(z.Y_max_extract, z.Y_min_extract, largest_pixel, count) &&
         raster_count(z.X_max_extract, z.X_min_extract, largest_pixel, count);
}

}  // namespace tessera
