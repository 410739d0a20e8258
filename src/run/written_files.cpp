#include "run/messages.h"
#include "run/written_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/host_files.h"
#include "host/host_reasons.h"
#include "host/host_signals.h"
#include "run/dialogue.h"
#include "run/run_state.h"

written_paths written;
bool holding_lock = false;
bool temp_out_created = false;
bool temp_info_created = false;
file_stamp temp_out_made;
file_stamp temp_info_made;

namespace {

FILE* input_copy = nullptr;  // a stream of its own on the input, open to the end
char input_host[host_path_size];
file_stamp input_at_opening;
bool input_watched = false;

int cannot_create(const char* name, int err) {
  show(failure::cannot_create, name, reason_text(err));
  // Before the lock is held the run has nothing of its own to remove, and
  // says all the same what every end that changes nothing says.
  if (!holding_lock) say_files_unchanged();
  return status_cannot_create;
}

// Creates the temporary file for the final name `host_final` into `f`;
// `temp` holds the name it got, `made` the file's identity. Returns
// status_ok or, having said why, status_cannot_create.
int create_temp(const char* built, const char* host_final, char (&temp)[host_path_size], bool& created,
                FILE*& f, file_stamp& made) {
  // Another file at the name needs the same process id and the same random
  // tag: a new tag or two step past it.
  constexpr int temporary_attempts = 8;
  int err = 0;
  for (int attempt = 0; attempt < temporary_attempts; ++attempt) {
    build_temporary_path(host_final, process_id(), random_tag(), temp);
    err = create_temporary(temp, f, made);
    if (err != EEXIST) break;
  }
  if (err != 0) return cannot_create(built, err);
  created = true;
  return status_ok;
}

// The run holds the lock: no other run writes this output, and a temporary
// file of it is what a killed run left.
bool left_by_killed_run(const char* name) {
  return is_temporary_name(name, written.out) || is_temporary_name(name, written.info);
}

}  // namespace

void say_files_unchanged() {
  show(failure::unchanged, output_path);
  show(failure::unchanged, report_path);
}

void watch_input(FILE* input, const char* host_in) {
  std::snprintf(input_host, sizeof input_host, "%s", host_in);
  input_copy = duplicate_stream(input);
  input_watched = input_copy != nullptr && stamp_of_stream(input_copy, input_at_opening);
}

bool input_unchanged() {
  if (!input_watched) return true;
  file_stamp through_stream;
  file_stamp at_path;
  return stamp_of_stream(input_copy, through_stream) && same_stamp(through_stream, input_at_opening) &&
         stamp_of_path(input_host, at_path) && same_stamp(at_path, input_at_opening);
}

int open_written_files() {
  build_written_paths(output_path, report_path, written);
  // What the signal handler says, formatted now: it may format nothing.
  char unchanged[2 * path_size + 40];
  int said = std::snprintf(unchanged, sizeof unchanged, failure::unchanged, output_path);
  std::snprintf(unchanged + said, sizeof unchanged - size_t(said), failure::unchanged, report_path);
  guard_start(unchanged);

  // A folder that cannot be opened or whose files can never be replaced is
  // said of the output, as a folder that cannot be written.
  int err = hold_folder(written.out);
  if (err != 0) return cannot_create(output_path, err);

  // One lock for both files: the report's name follows from the output's.
  bool lock_file_there = false;
  err = lock_output(written.lock, lock_file_there);
  if (err == held_by_another_run) {
    show(failure::in_use, output_path);
    return status_in_use;
  }
  if (err != 0 && lock_file_there) {
    // Something at its name (.north.xyz.tessera-lock) cannot be opened, or
    // is not a lock file.
    show(failure::cannot_create_lock, output_path, reason_text(err));
    say_files_unchanged();
    return status_cannot_create;
  }
  // Otherwise the folder itself cannot be written (read-only, full): said of
  // the output, as for any file that cannot be created there.
  if (err != 0) return cannot_create(output_path, err);
  holding_lock = true;

  int removed = remove_left_files(left_by_killed_run);
  if (removed == 1) show(failure::removed_leftover, output_path);
  if (removed > 1) show(failure::removed_leftovers, removed, output_path);

  // What sits at a final name is looked at now, not when the run ends, so
  // that a folder or a FIFO in the way is reported before the long passes.
  if ((err = final_path_refused(written.out)) != 0) return cannot_create(output_path, err);
  if ((err = final_path_refused(written.info)) != 0) return cannot_create(report_path, err);
  // The earlier output stays on disk until the publish, but its cached pages
  // are dropped now: kept beside the new output's, they doubled the page
  // cache a run holds, and under a memory limit that slowed the writes of a
  // large output by half (bench/run.py, "every point": about 1.9 s against
  // 1.0 s). If the run does not complete, the earlier file is read from
  // the disk as before.
  forget_cached(written.out);
  int status = create_temp(output_path, written.out, written.temp_out, temp_out_created, output_file, temp_out_made);
  if (status == status_ok) {
    status = create_temp(report_path, written.info, written.temp_info, temp_info_created, report_file, temp_info_made);
  }
  return status;
}

const char* write_failure_text(const char* name, int err) {
  const char* temporary = std::strcmp(name, output_path) == 0 ? written.temp_out : written.temp_info;
  return reason_text(write_failure(temporary, err));
}
