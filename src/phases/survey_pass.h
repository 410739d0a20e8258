// The survey pass as the user meets it: reads the whole input once, shows
// its bounds and writes the report's survey entries.
//
// The bounds keep the short names of the tool's first version, where a
// longer name would say no more: X_min .. Z_max (the survey's bounds, from
// the start values 10000000.0 and 0.0).
#pragma once

#include "points/survey.h"
#include "run/run_files.h"

namespace tessera {

// Refuses the input of `files` if it is not a text point file (see
// points/input_kind.h), with status_read_failed. Then reads the input from
// its start to its end into `s` (its zone map included); shows the bounds
// and writes the report's survey entries. Returns the run's status so far:
// status_ok, status_data_stopped (the records before the stop are used),
// status_read_failed (the input could not be read; nothing else was shown
// or reported), or status_write_failed (a report entry could not be
// written; nothing was shown or reported after it).
int survey_pass(run_files& files, survey_values& s);

// The sentence that tells where the data stopped, for the console and the
// report alike. `text` has room for `size` bytes.
void describe_stop(const survey_values& s, char* text, int size);

// True if the data stopped before the first point: the run then shows
// where, and ends with status_data_stopped but publishes nothing.
bool stopped_before_any_point(const survey_values& s);
// Whether the run publishes nothing after the survey `s`: it stopped before
// any point, or at a decimal comma, wherever it stands (the whole file is
// then in a form the reader does not read).
bool publishes_nothing(const survey_values& s);

// The sentence that tells where a 0x1A byte ended the data with text after
// it, for the console and the report alike. `text` has room for `size`
// bytes.
void describe_control_z(int64_t line, char* text, int size);

// The sentences that tell how the file was read when it was not three
// numbers a line or free (a count of points, columns beyond X Y Z, a
// separator) and which lines were skipped, for the console and the report
// alike; "" when there is nothing to tell. `text` has room for `size` bytes.
void describe_reading(const survey_values& s, char* text, int size);

}  // namespace tessera
