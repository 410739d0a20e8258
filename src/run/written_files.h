// The files a run writes: the lock of its output, the temporary output and
// report it writes into, and the input it must read twice unchanged.
#pragma once

#include <cstdio>

#include "run/paths.h"

// Their host names, and which of them this run created.
extern written_paths written;
extern bool holding_lock;
extern bool temp_out_created;
extern bool temp_info_created;

// Remembers the input as it is now (identity, size, modification time),
// through a stream of its own that outlives f1.
void watch_input(FILE* input, const char* host_in);

// True unless the input, seen through its open stream or through its path,
// differs now from what watch_input saw.
bool input_unchanged();

// Takes the lock of the output, checks what sits at the final names and
// creates the temporary output (f2) and report (f6). Returns status_ok or,
// having said why, status_in_use if another run holds the lock, or
// status_cannot_create.
int open_written_files();

// The words for a failed write of the output (`name` is nom_out) or of the
// report, from the C runtime's errno (see write_failure in platform.h).
const char* write_failure_text(const char* name, int err);
