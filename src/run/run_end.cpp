#include "run/messages.h"
#include "run/run_end.h"

#include <cerrno>
#include <cstdlib>

#include "host/host_files.h"
#include "host/host_reasons.h"
#include "host/host_signals.h"
#include "run/dialogue.h"
#include "run/run_state.h"
#include "run/written_files.h"

namespace {

// Closes one written stream. A stream to be published is first flushed,
// and a failure says which file and why; the temporary file of a run that
// publishes nothing is removed, whatever its last bytes became.
//
// The run does not sync the files before publishing them. A sync waits for
// the device to write the whole output: on a disk busy with other writes it
// more than doubled the time of a run that keeps every point of a 290 MB
// file (2.05 s against 0.92 s in bench/run.py), and tools that publish by
// rename, such as sort -o or compilers, do not sync either. Whatever ends
// the program, SIGKILL included, the final names hold whole files, the
// earlier ones or the new ones; only a power loss or a crash of the system
// itself in the seconds before it writes the new data could leave the new
// output short (the manual page tells users so).
//
// Before it is closed, a file to be published takes the earlier file's
// permissions (it was made private to its owner, so that nobody else reads
// it while it is written); if they cannot be given, it is not published.
bool close_written(FILE*& f, const char* name, const char* host_final, bool publishing) {
  if (f == nullptr) return true;
  if (!publishing) {
    std::fclose(f);
    f = nullptr;
    return true;
  }
  bool ok = std::fflush(f) == 0 && !std::ferror(f);
  int err = errno;
  if (ok && (err = take_attributes(f, host_final)) != 0) ok = false;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  f = nullptr;
  if (!ok) show(failure::cannot_write, name, write_failure_text(name, err));
  return ok;
}

void say_unchanged(const char* name) { show(failure::unchanged, name); }

// Removes the temporary files: the final names keep what they held.
void discard() {
  if (temp_out_created) remove_file(written.temp_out, temp_out_made);
  if (temp_info_created) remove_file(written.temp_info, temp_info_made);
  temp_out_created = temp_info_created = false;
  say_files_unchanged();
}

// Why the files written cannot be published, whatever the final names
// hold: the folder is no longer where its path leads, or a temporary name
// holds another file than the one written (a link put there, say). Sets
// `name` to the file it is said of.
int publish_refused(const char*& name) {
  name = output_path;
  if (!folder_in_place()) return folder_moved;
  if (!holds_file(written.temp_out, temp_out_made)) return replaced_during_the_run;
  name = report_path;
  if (!holds_file(written.temp_info, temp_info_made)) return replaced_during_the_run;
  return 0;
}

// Renames the temporary files over the final names. The output goes first
// and the report last: the report is the run's receipt, so a report that
// is new always sits beside the output it describes. If the program is
// stopped between the two renames (SIGKILL, a power loss), the new output
// sits beside the earlier report, and the leftover temporary report shows
// that the run did not finish; the reverse order would leave a report
// describing an output that is not there.
int publish(int status) {
  const char* refused = nullptr;
  int err = publish_refused(refused);
  if (err != 0) {
    show(failure::cannot_write, refused, reason_text(err));
    discard();
    return status_write_failed;
  }
  err = replace_file(written.temp_out, written.out);
  if (err != 0) {
    show(failure::cannot_write, output_path, reason_text(err));
    discard();
    return status_write_failed;
  }
  temp_out_created = false;
  err = replace_file(written.temp_info, written.info);
  if (err != 0) {
    // The output is already the new one: say so, so that nobody takes the
    // earlier report for its description.
    show(failure::cannot_write, report_path, reason_text(err));
    remove_file(written.temp_info, temp_info_made);
    say_unchanged(report_path);
    show(failure::report_not_replaced, output_path);
    return status_write_failed;
  }
  temp_info_created = false;
  return status;
}

}  // namespace

void end_run(const run_outcome& outcome) {
  // From here a signal no longer removes the files under the run's feet:
  // the run itself publishes or removes them, then ends.
  settle_files();
  int status = outcome.status;
  bool used = points_were_used(status) && outcome.publishes;
  if (holding_lock && used && !input_unchanged()) {
    show(failure::input_changed, input_path);
    status = status_read_failed;
    used = false;
  }
  bool publishing = holding_lock && used;
  bool ok = close_written(output_file, output_path, written.out, publishing);
  ok = close_written(report_file, report_path, written.info, publishing) && ok;
  if (input_file != nullptr) {
    std::fclose(input_file);
    input_file = nullptr;
  }
  if (!ok && used) status = status_write_failed;
  if (holding_lock) {
    if (used && ok) {
      const int published = publish(status);
      if (published == status) say_written(outcome.said);
      status = published;
    } else {
      discard();
    }
    unlock_output();
  }
  std::fflush(stdout);
  std::exit(status);
}
