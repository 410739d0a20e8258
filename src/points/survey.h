// The survey pass: reads the whole input once, counts its records and finds
// the range of X, Y and Z.
#pragma once

#include <cstdint>

#include "points/point_file.h"

struct survey_values {
  int64_t ico;  // records read
  double X_min, X_max, Y_min, Y_max, Z_min, Z_max;
  read_status end;     // how the pass ended: end_of_data, or where the data stopped
  int64_t end_offset;  // where in the data it ended
  data_stop stop;
};

// Reads f1 from its start to its end; shows the bounds and writes the
// report's survey entries.
void survey_pass(survey_values& s);

// The sentence that tells where the data stopped, for the console and the
// report alike. `text` has room for `size` bytes.
void describe_stop(const survey_values& s, char* text, int size);
