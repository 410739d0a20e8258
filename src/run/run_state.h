// The run state shared by every phase: the three streams and the five name
// buffers. It lives at file scope for the whole run; `opening` fills it.
#pragma once

#include <cstdio>

constexpr int name_size = 64;   // an answer: 63 characters and the terminator
constexpr int path_size = 128;  // a full path: 127 characters and the terminator

extern FILE* f1;  // input point file, read
extern FILE* f2;  // output point file, written
extern FILE* f6;  // report file, written

extern char nomdir[name_size];
extern char nomfic[name_size];
extern char nom_in[path_size];
extern char nom_out[path_size];
extern char nom_info[path_size];

// Exit statuses. 0 is the normal end and also the end after an input file
// that cannot be opened; every other value tells a script what went wrong.
enum exit_status {
  status_ok = 0,
  status_input_ended = 1,    // standard input ended before an answer was read
  status_cannot_create = 2,  // the output or the report could not be created
  status_write_failed = 3,   // writing the output or the report failed
  status_data_stopped = 4,   // the input holds text that is not a point; the run used the records before it
  status_read_failed = 5,    // the input could not be read, or changed between the two passes
  status_columns_shifted = 6,  // a line holds more than three numbers, not a multiple of three: every
                               // number was used, three at a time, so later points are shifted
};

// The status the run ends with if nothing graver happens.
extern int run_status;

// Flushes and closes the output and the report, checking that every byte
// reached them, then ends the program. A failure on either turns the status
// into status_write_failed (unless a graver status is already set).
[[noreturn]] void end_run(int status);

// Says that writing the named file failed and why, closes the stream and
// ends the run with status_write_failed.
[[noreturn]] void write_failed(FILE*& f, const char* name, int err);
