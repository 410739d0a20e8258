// The exit statuses of a run, and how they rank.
#pragma once

// Exit statuses. 0 is the normal end and also the end after an input file
// that cannot be opened; every other value tells a script what went wrong.
enum exit_status {
  status_ok = 0,
  status_input_ended = 1,      // standard input ended before an answer was read
  status_cannot_create = 2,    // the output or the report could not be created
  status_write_failed = 3,     // writing the output or the report failed
  status_data_stopped = 4,     // the input holds text that is not a point; the run used the records before it
                               // (if there were none, it publishes nothing)
  status_read_failed = 5,      // the input could not be read, is not a text point file (compressed, LAS,
                               // binary), or changed between the two passes
  // 6 is no longer given: it told of points shifted by a line of more than
  // three numbers, which is now read as one point with extra columns.
  status_in_use = 7,           // another run is writing the same output and report
};

// True for the statuses of a run that used the points it read: its files
// are published.
bool points_were_used(int status);

// The graver of two statuses: a failure outranks a data stop, which lost
// records and so outranks the normal end.
int graver_status(int a, int b);
