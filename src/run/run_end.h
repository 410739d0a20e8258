// How a run ends: its exit status, and what becomes of the files it wrote.
//
// The written files, the output and the report, are written into
// temporary files beside their final names (written_files.h). A run whose
// points were used publishes them by renaming them over the final names;
// every other end removes them, so that whatever was under the final names
// before the run stays as it was.
#pragma once

#include "run/exit_status.h"
#include "run/run_files.h"
#include "run/written_said.h"

namespace tessera {

// How a run ended: its status, whether its files are published, and what
// the output holds, to be said once they are. Each phase returns its status
// to main, which ends the run with this once.
struct run_outcome {
  int status;
  bool publishes;  // false when the reading stopped before any point
  points_written said;
};

// Flushes and closes the written files of `files`, checking that every
// byte reached them, checks that the input did not change, then publishes
// them all (if the points were used and `publishes` holds) or removes them,
// and ends the program. A failure turns the status into status_write_failed
// or status_read_failed. A run that used no point ends with its status but
// publishes nothing, so that the earlier files stay as they were. Once all
// are published, what the output holds is said on standard error; a run
// that publishes nothing says nothing there. Only main calls it, once.
[[noreturn]] void end_run(run_files& files, const run_outcome& outcome);

}  // namespace tessera
