// The survey pass as the user meets it: reads the whole input once, shows
// its bounds and writes the report's survey entries.
#pragma once

#include "points/survey.h"

// Refuses the input if it is not a text point file (see
// points/input_kind.h), with status_read_failed. Then reads the input from
// its start to its end into `s`; shows the bounds and
// writes the report's survey entries. Returns the run's status so far:
// status_ok, status_data_stopped (the records before the stop are used),
// status_columns_shifted, or status_read_failed (the input could not be
// read; nothing else was shown or reported).
int survey_pass(survey_values& s);

// The sentence that tells where the data stopped, for the console and the
// report alike. `text` has room for `size` bytes.
void describe_stop(const survey_values& s, char* text, int size);

// True if the data stopped before the first point: the run then shows
// where, and ends with status_data_stopped but publishes nothing.
bool stopped_before_any_point(const survey_values& s);

// The sentence that tells where a 0x1A byte ended the data with text after
// it, for the console and the report alike. `text` has room for `size`
// bytes.
void describe_control_z(int64_t line, char* text, int size);

// The sentence that tells which line first shifts the points, for the
// console and the report alike. `text` has room for `size` bytes.
void describe_shifted(const shifted_line& l, char* text, int size);
