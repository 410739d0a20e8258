// How a run ends: its exit status, and what becomes of the files it wrote.
//
// The output and the report are written into temporary files beside their
// final names (written_files.h). A run whose points were used publishes
// them by renaming them over the final names; every other end removes them,
// so that whatever was under the final names before the run stays as it
// was.
#pragma once

#include <cstdio>

#include "run/exit_status.h"
#include "run/written_said.h"

// Flushes and closes the output and the report, checking that every byte
// reached them, checks that the input did not change, then publishes both
// files (if the points were used and `publishes` holds) or removes them,
// and ends the program. A failure turns the status into status_write_failed
// or status_read_failed. A run that used no point ends with its status but
// publishes nothing, so that the earlier files stay as they were. Once both
// files are published, what the output holds (`said`, if given) is said on
// standard error; a run that publishes nothing says nothing there.
[[noreturn]] void end_run(int status, bool publishes = true, const points_written* said = nullptr);

// Says that writing the named file failed and why, closes the stream and
// ends the run with status_write_failed.
[[noreturn]] void write_failed(FILE*& f, const char* name, int err);
