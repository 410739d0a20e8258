// The survey pass: reads the whole input once, counts its records and finds
// the range of X, Y and Z.
#pragma once

#include <cstdint>

#include "points/pass.h"
#include "points/record_reader.h"
#include "points/zone_map.h"

namespace tessera {

struct survey_values {
  int64_t record_count;  // records read
  double X_min, X_max, Y_min, Y_max, Z_min, Z_max;
  read_status end;     // how the pass ended: end_of_data, where the data stopped, or read_error
  int64_t end_offset;  // where in the data it ended
  data_stop stop;      // where the data stopped, if they did
  int read_errno;      // why the input could not be read, if it could not
  file_layout layout;    // how the points are laid out
  line_tally skipped;    // comment lines and repeated headers skipped
  line_tally nodata;     // lines skipped for a nan among X, Y and Z
  int64_t control_z_line;  // the line where a 0x1A ended the data with text after it, or 0
  int64_t max_decimals;    // the most decimals typed in an X, Y or Z (record_reader::max_decimals)
  zone_map map;          // the stretches of the records, for the extraction
};

// What the bounds of an empty input are: there is nothing to bound.
constexpr double survey_min_start = 10000000.0;
constexpr double survey_max_start = 0.0;

// The survey as a fold of the records: the count, and the bounds of X, Y
// and Z, each the data's own minimum and maximum. They are what strict
// running tests from the start values (10000000.0 for the minima, 0.0 for
// the maxima) give for data between 0 and 10000000, byte for byte, and
// stay right for data wholly below 0 or above 10000000, where those start
// values would hide the data's own maximum or minimum: a maximum of zero is
// +0.0 (0.000000) whatever its sign, and an empty input keeps the start
// values. The records' stretches are recorded into `map` (an empty map,
// whose stretch length and ceiling the caller chooses; zone_map(0) records
// nothing), which the result then holds.
survey_values survey_records(record_reader& r, progress_fn progress, zone_map map = zone_map());

}  // namespace tessera
