// The files a run writes: the lock of its output, the temporary output and
// report it writes into, and the input it must read twice unchanged.
#pragma once

#include <cstdio>

#include "host/host_files.h"
#include "run/paths.h"

// Their host names, and which of them this run created.
extern written_paths written;
extern bool holding_lock;
extern bool temp_out_created;
extern bool temp_info_created;
// The identities of the temporary files as created: a temporary name that
// holds another file at the end is neither published nor removed.
extern file_stamp temp_out_made;
extern file_stamp temp_info_made;

// Remembers the input as it is now (identity, size, modification time),
// through a stream of its own that outlives input_file.
void watch_input(FILE* input, const char* host_in);

// True unless the input, seen through its open stream or through its path,
// differs now from what watch_input saw.
bool input_unchanged();

// Says that the output and the report are unchanged, as every end that
// changes nothing does.
void say_files_unchanged();

// Holds the output's folder, takes the lock of the output, removes the
// temporary files that killed runs left for it, checks what sits at the
// final names and creates the temporary output (output_file) and report (report_file).
// Returns status_ok or, having said why, status_in_use if another run holds
// the lock, or status_cannot_create.
int open_written_files();

// The words for a failed write of the output (`name` is output_path) or of the
// report, from the C runtime's errno (see write_failure in host_files.h).
const char* write_failure_text(const char* name, int err);
