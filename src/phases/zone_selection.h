// Zone selection as the user meets it: asks for the zone and the pixel
// size, shows and reports the raster size.
#pragma once

#include "points/zone.h"

// Asks for the zone until some pixel size fits it, then for the pixel size
// until it gives counts of 32 bits; shows and reports the raster size.
void zone_selection(zone& z);
