// How a run ends: its exit status, and what becomes of the files it wrote.
//
// The output and the report are written into temporary files beside their
// final names (written_files.h). A run whose points were used publishes
// them by renaming them over the final names; every other end removes them,
// so that whatever was under the final names before the run stays as it
// was.
#pragma once

#include <cstdio>

// Exit statuses. 0 is the normal end and also the end after an input file
// that cannot be opened; every other value tells a script what went wrong.
enum exit_status {
  status_ok = 0,
  status_input_ended = 1,      // standard input ended before an answer was read
  status_cannot_create = 2,    // the output or the report could not be created
  status_write_failed = 3,     // writing the output or the report failed
  status_data_stopped = 4,     // the input holds text that is not a point; the run used the records before it
  status_read_failed = 5,      // the input could not be read, or changed between the two passes
  status_columns_shifted = 6,  // a line holds more than three numbers, not a multiple of three: every
                               // number was used, three at a time, so later points are shifted
  status_in_use = 7,           // another run is writing the same output and report
};

// True for the statuses of a run that used the points it read: its files
// are published.
bool points_were_used(int status);

// The status the run ends with if nothing graver happens.
extern int run_status;

// Flushes and closes the output and the report, checking that every byte
// reached them, checks that the input did not change, then publishes both
// files (if the points were used) or removes them, and ends the program. A
// failure turns the status into status_write_failed or status_read_failed.
[[noreturn]] void end_run(int status);

// Ends the run as end_run does, but publishes nothing whatever the status:
// for a run that used no point, so that the earlier files stay.
[[noreturn]] void end_run_publishing_nothing(int status);

// Says that writing the named file failed and why, closes the stream and
// ends the run with status_write_failed.
[[noreturn]] void write_failed(FILE*& f, const char* name, int err);

// The text of an error number from the platform calls.
const char* reason_text(int err);
