// Zone selection: the rectangle in X and Y to extract, and the size of a
// raster of a chosen pixel size over it.
#pragma once

#include <cstdint>

struct zone {
  double X_min_extract, X_max_extract, Y_min_extract, Y_max_extract;
};

// Lines or columns of a raster: (max - min) / pixel, truncated toward zero,
// the difference and the quotient each rounded to a 64-bit significand.
// False if the pixel size is 0 or the count does not fit 32 signed bits.
bool raster_count(double max, double min, double pixel, int32_t& count);

// True if some pixel size gives line and column counts that fit 32 signed
// bits (a zone wider than about 4.6e18 has none).
bool zone_has_pixel_size(const zone& z);

// Asks for the zone and the pixel size, shows and reports the raster size.
void zone_selection(zone& z);
