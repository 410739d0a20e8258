// The survey pass: reads the whole input once, counts its records and finds
// the range of X, Y and Z.
#pragma once

#include <cstdint>

#include "points/pass.h"
#include "points/record_reader.h"
#include "points/zone_map.h"

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

// The survey as a fold of the records: the count, and each bound the
// strict running minimum or maximum of its values from the start values
// 10000000.0 (minima) and 0.0 (maxima), so a reported minimum is never above
// 10000000 and a reported maximum never below 0. The records' stretches
// are recorded into `map` (an empty map, whose stretch length and ceiling
// the caller chooses; zone_map(0) records nothing), which the result then
// holds.
survey_values survey_records(record_reader& r, progress_fn progress, zone_map map = zone_map());

