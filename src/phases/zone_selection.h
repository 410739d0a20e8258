// Zone selection as the user meets it: asks for the zone and the pixel
// size, shows and reports the raster size.
//
// The short names kept from the tool's first version, where a longer name
// would say no more: X_min_extract .. Y_max_extract (the zone as answered,
// not ordered, not clipped), dpix_size (the pixel size in meters), nb_lig
// and nb_col (the raster's lines along Y and columns along X).
#pragma once

#include "points/zone.h"
#include "run/run_files.h"

namespace tessera {

// Asks for the zone until some pixel size fits it, then for the pixel size
// until it gives counts of 32 bits; shows the raster size and reports it to
// the report of `files`.
// Returns status_ok, or the status the run ends with, having said why:
// status_input_ended (standard input ended) or status_write_failed (a
// report entry could not be written).
int zone_selection(run_files& files, zone& z);

}  // namespace tessera
