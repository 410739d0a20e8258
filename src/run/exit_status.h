// The exit statuses of a run: the one table of their codes, names and
// meanings, and how they rank. --help prints its list from this table, and
// a unit test checks that the manual page lists the same codes. To add or
// retire a status, change its enumerator and its row here, its entry in the
// manual page, its rank (exit_status.cpp) and the places that return it
// (main ends the run with it); a retired code is never given to another
// status, since scripts test the codes.
#pragma once

namespace tessera {

// The names of the statuses. 0 is the normal end; every other value tells a
// script what went wrong. A run ended by a signal ends with that signal (the shell
// shows 128 + its number), so no status here takes those values.
enum exit_status {
  status_ok = 0,
  status_input_ended = 1,
  status_cannot_create = 2,
  status_write_failed = 3,
  status_data_stopped = 4,
  status_read_failed = 5,
  // 6 is no longer given: it told of points shifted by a line of more than
  // three numbers, which is now read as one point with extra columns.
  status_in_use = 7,
  status_no_input = 8,
};

struct exit_status_entry {
  exit_status code;
  // One sentence, as --help shows it: a line feed where --help goes on to
  // a line of its own, under the first word.
  const char* meaning;
};

// One row a status, in the order of their codes.
inline constexpr exit_status_entry exit_statuses[] = {
    {status_ok, "the run completed"},
    {status_input_ended, "standard input ended before an answer was read"},
    {status_cannot_create, "the output or the report could not be created"},
    {status_write_failed, "writing the output or the report failed"},
    {status_data_stopped, "the input holds text that is not a point; the points before it were used"},
    {status_read_failed,
     "the input could not be read, is not a text point file (compressed,\n"
     "LAS or binary), or changed between the two readings"},
    {status_in_use, "another run is writing the same output and report"},
    {status_no_input, "the input could not be opened (\"No File\"): nothing was touched"},
};

constexpr bool codes_ascend() {
  for (unsigned i = 1; i < sizeof exit_statuses / sizeof exit_statuses[0]; ++i)
    if (exit_statuses[i].code <= exit_statuses[i - 1].code) return false;
  return true;
}
static_assert(codes_ascend(), "one row a status, in the order of their codes");

// True for the statuses of a run that used the points it read: its files
// are published.
bool points_were_used(int status);

// The graver of two statuses: a failure outranks a data stop, which lost
// records and so outranks the normal end.
int graver_status(int a, int b);

}  // namespace tessera
