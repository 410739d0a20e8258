// Zone selection: the rectangle in X and Y to extract, and the size of a
// raster of a chosen pixel size over it.
#pragma once

#include <cstdint>

namespace tessera {

struct zone {
  double X_min_extract, X_max_extract, Y_min_extract, Y_max_extract;
};

// Whether a point lies inside the zone: both ends of both ranges belong to
// it, and Z is not tested. The two halves apart, so that a reader need not
// convert Y for a point already outside in X.
inline bool in_zone_x(const zone& z, double X) { return z.X_min_extract <= X && X <= z.X_max_extract; }
inline bool in_zone_y(const zone& z, double Y) { return z.Y_min_extract <= Y && Y <= z.Y_max_extract; }
inline bool in_zone(const zone& z, double X, double Y) { return in_zone_x(z, X) && in_zone_y(z, Y); }

// Lines or columns of a raster: (max - min) / pixel, truncated toward zero,
// the difference and the quotient each rounded to a 64-bit significand.
// False if the pixel size is 0 or the count does not fit 32 signed bits.
bool raster_count(double max, double min, double pixel, int32_t& count);

// True if some pixel size gives line and column counts that fit 32 signed
// bits (a zone wider than about 4.6e18 has none).
bool zone_has_pixel_size(const zone& z);

// True if a pixel size's whole number of meters fits 32 signed bits, as the
// raster sentence shows it.
bool pixel_fits_meters(double pixel);

}  // namespace tessera
