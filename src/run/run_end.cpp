#include "run/messages.h"
#include "run/run_end.h"

#include <cerrno>
#include <cstdlib>

#include "host/host_files.h"
#include "host/host_reasons.h"
#include "host/host_signals.h"
#include "run/dialogue.h"

namespace tessera {

namespace {

// Closes one written stream. A stream to be published is first flushed,
// and a failure says which file and why; the temporary file of a run that
// publishes nothing is removed, whatever its last bytes became.
//
// The run does not sync the files before publishing them. A sync waits for
// the device to write the whole output: on a disk busy with other writes it
// more than doubled the time of a run that keeps every point of a large
// file (the figures are in bench/README.md), and tools that publish by
// rename, such as sort -o or compilers, do not sync either. Whatever ends
// the program, SIGKILL included, the final names hold whole files, the
// earlier ones or the new ones; only a power loss or a crash of the system
// itself in the seconds before it writes the new data could leave the new
// output short (the manual page tells users so).
//
// Before it is closed, a file to be published takes the earlier file's
// permissions (it was made private to its owner, so that nobody else reads
// it while it is written); if they cannot be given, it is not published.
bool close_written(written_file& f, bool publishing) {
  if (f.stream == nullptr) return true;
  if (!publishing) {
    std::fclose(f.stream);
    f.stream = nullptr;
    return true;
  }
  bool ok = std::fflush(f.stream) == 0 && !std::ferror(f.stream);
  int err = errno;
  if (ok && (err = take_attributes(f.stream, f.host)) != 0) ok = false;
  if (std::fclose(f.stream) != 0 && ok) {
    ok = false;
    err = errno;
  }
  f.stream = nullptr;
  if (!ok) say_write_failed(f, err);
  return ok;
}

// Removes the temporary files of the written files from `first` on
// (all of them, or those not yet published): their final names keep what
// they held, as the run says of each.
void discard(run_files& files, size_t first = 0) {
  auto written = files.written();
  for (size_t i = first; i < written.size(); ++i) {
    if (written[i]->created) remove_file(written[i]->temp, written[i]->made);
    written[i]->created = false;
  }
  for (size_t i = first; i < written.size(); ++i) say_unchanged(*written[i]);
}

// Why the written files cannot be published, whatever the final names
// hold: the folder is no longer where its path leads (said of the first
// written file, the output), or a temporary name holds another file than
// the one written (a link put there, say). Sets `refused` to the file it is
// said of.
int publish_refused(const run_files& files, const written_file*& refused) {
  refused = files.written()[0];
  if (!folder_in_place()) return folder_moved;
  for (const written_file* f : files.written()) {
    refused = f;
    if (!holds_file(f->temp, f->made)) return replaced_during_the_run;
  }
  return 0;
}

// Renames the temporary files over the final names, in the order of the
// written files. The output goes first and the report last: the report is
// the run's receipt, so a report that is new always sits beside the output
// it describes. If the program is stopped between the two renames
// (SIGKILL, a power loss), the new output sits beside the earlier report,
// and the leftover temporary report shows that the run did not finish; the
// reverse order would leave a report describing an output that is not
// there.
int publish(run_files& files, int status) {
  const written_file* refused = nullptr;
  int err = publish_refused(files, refused);
  if (err != 0) {
    show(failure::cannot_write, refused->built, reason_text(err));
    discard(files);
    return status_write_failed;
  }
  auto written = files.written();
  for (size_t i = 0; i < written.size(); ++i) {
    err = replace_file(written[i]->temp, written[i]->host);
    if (err != 0) {
      show(failure::cannot_write, written[i]->built, reason_text(err));
      discard(files, i);
      // The files before it, the output first, are already the new ones:
      // say so, so that nobody takes the earlier report for the new
      // output's description.
      if (i > 0) show(failure::report_not_replaced, files.output.built);
      return status_write_failed;
    }
    written[i]->created = false;
  }
  return status;
}

}  // namespace

void end_run(run_files& files, const run_outcome& outcome) {
  // From here a signal no longer removes the files under the run's feet:
  // the run itself publishes or removes them, then ends.
  settle_files();
  int status = outcome.status;
  bool used = points_were_used(status) && outcome.publishes;
  if (files.holding_lock && used && !input_unchanged(files.input)) {
    show(failure::input_changed, files.input.built);
    status = status_read_failed;
    used = false;
  }
  bool publishing = files.holding_lock && used;
  bool ok = true;
  for (written_file* f : files.written()) ok = close_written(*f, publishing) && ok;
  if (files.input.stream != nullptr) {
    std::fclose(files.input.stream);
    files.input.stream = nullptr;
  }
  if (!ok && used) status = status_write_failed;
  if (files.holding_lock) {
    if (used && ok) {
      const int published = publish(files, status);
      if (published == status) say_written(files.output.built, outcome.said);
      status = published;
    } else {
      discard(files);
    }
    unlock_output();
  }
  std::fflush(stdout);
  std::exit(status);
}

}  // namespace tessera
