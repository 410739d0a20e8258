// Zone selection as the user meets it: asks for the zone and the pixel
// size, shows and reports the raster size.
#pragma once

#include "points/zone.h"

// Asks for the zone until some pixel size fits it, then for the pixel size
// until it gives counts of 32 bits; shows and reports the raster size.
// Returns status_ok, or the status the run ends with, having said why:
// status_input_ended (standard input ended) or status_write_failed (a
// report entry could not be written).
int zone_selection(zone& z);
