#include "run/messages.h"
#include "run/written_files.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "host/host_files.h"
#include "host/host_reasons.h"
#include "host/host_signals.h"
#include "run/dialogue.h"
#include "run/paths.h"

namespace tessera {

namespace {

int cannot_create(const run_files& files, const char* name, int err) {
  show(failure::cannot_create, name, reason_text(err));
  // Before the lock is held the run has nothing of its own to remove, and
  // says all the same what every end that changes nothing says.
  if (!files.holding_lock) say_files_unchanged(files);
  return status_cannot_create;
}

// Creates the temporary file for `f` beside its final name, with its
// stream. Returns status_ok or, having said why, status_cannot_create.
int create_temp(const run_files& files, written_file& f) {
  // Another file at the name needs the same process id and the same random
  // tag: a new tag or two step past it.
  constexpr int temporary_attempts = 8;
  int err = 0;
  for (int attempt = 0; attempt < temporary_attempts; ++attempt) {
    build_temporary_path(f.host, process_id(), random_tag(), f.temp);
    err = create_temporary(f.temp, f.stream, f.made);
    if (err != EEXIST) break;
  }
  if (err != 0) return cannot_create(files, f.built, err);
  f.created = true;
  return status_ok;
}

// The run holds the lock: no other run writes this output, and a temporary
// file of one of its written files is what a killed run left.
bool left_by_killed_run(const char* name, const void* context) {
  for (const written_file* f : static_cast<const run_files*>(context)->written()) {
    if (is_temporary_name(name, f->host)) return true;
  }
  return false;
}

// What the signal handler says, formatted at the opening, since it may
// format nothing: each written file unchanged, in their order.
constexpr size_t unchanged_size = path_size + std::char_traits<char>::length(failure::unchanged);

void start_guard(const run_files& files) {
  char unchanged[run_files::written_count * unchanged_size];
  size_t said = 0;
  for (const written_file* f : files.written()) {
    int n = std::snprintf(unchanged + said, sizeof unchanged - said, failure::unchanged, f->built);
    if (n > 0) said += size_t(n);
  }
  guard_start(unchanged);
}

}  // namespace

void say_files_unchanged(const run_files& files) {
  for (const written_file* f : files.written()) say_unchanged(*f);
}

int open_written_files(run_files& files) {
  for (written_file* f : files.written()) host_name(f->built, f->host);
  build_lock_path(files.output.host, files.lock);
  start_guard(files);

  // A folder that cannot be opened or whose files can never be replaced is
  // said of the output, as a folder that cannot be written.
  const char* output = files.output.built;
  int err = hold_folder(files.output.host);
  if (err != 0) return cannot_create(files, output, err);

  // One lock for all the written files: the report's name follows from the
  // output's.
  bool lock_file_there = false;
  err = lock_output(files.lock, lock_file_there);
  if (err == held_by_another_run) {
    show(failure::in_use, output);
    return status_in_use;
  }
  if (err != 0 && lock_file_there) {
    // Something at its name (.north.xyz.tessera-lock) cannot be opened, or
    // is not a lock file.
    show(failure::cannot_create_lock, output, reason_text(err));
    say_files_unchanged(files);
    return status_cannot_create;
  }
  // Otherwise the folder itself cannot be written (read-only, full): said of
  // the output, as for any file that cannot be created there.
  if (err != 0) return cannot_create(files, output, err);
  files.holding_lock = true;

  int removed = remove_left_files(left_by_killed_run, &files);
  if (removed == 1) show(failure::removed_leftover, output);
  if (removed > 1) show(failure::removed_leftovers, removed, output);

  // What sits at a final name is looked at now, not when the run ends, so
  // that a folder or a FIFO in the way is reported before the long passes.
  for (const written_file* f : files.written()) {
    if ((err = final_path_refused(f->host)) != 0) return cannot_create(files, f->built, err);
  }
  // The earlier output stays on disk until the publish, but its cached pages
  // are dropped now: kept beside the new output's, they doubled the page
  // cache a run holds, and under a memory limit that slowed the writes of a
  // large output by half (bench/README.md has the figures). If the run
  // does not complete, the earlier file is read from the disk as before.
  forget_cached(files.output.host);
  for (written_file* f : files.written()) {
    int status = create_temp(files, *f);
    if (status != status_ok) return status;
  }
  return status_ok;
}

}  // namespace tessera
