// The survey pass: reads the whole input once, counts its records and finds
// the range of X, Y and Z.
#pragma once

#include <cstdint>

#include "points/pass.h"
#include "points/record_reader.h"

struct survey_values {
  int64_t ico;  // records read
  double X_min, X_max, Y_min, Y_max, Z_min, Z_max;
  read_status end;     // how the pass ended: end_of_data, where the data stopped, or read_error
  int64_t end_offset;  // where in the data it ended
  data_stop stop;      // where the data stopped, if they did
  int read_errno;      // why the input could not be read, if it could not
  shifted_line shifted;  // the first line whose count of numbers shifts the points, if any
  int64_t control_z_line;  // the line where a 0x1A ended the data with text after it, or 0
};

// The survey as a fold of the records: the count, and each bound the
// strict running minimum or maximum of its values from the start values
// 10000000.0 (minima) and 0.0 (maxima), so a reported minimum is never above
// 10000000 and a reported maximum never below 0.
survey_values survey_records(record_reader& r, progress_fn progress);
