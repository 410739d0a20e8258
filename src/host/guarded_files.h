// Private to src/host/: the files a signal or a console event removes,
// shared by the files' implementation, which records each file it creates,
// and the signals', which removes them.
#pragma once

#include "host/host_files.h"

// Records the file the run has just created at `host`, whose identity is
// `made`, for removal on a signal. Call it with the end signals held
// (hold_end_signals on POSIX hosts).
void guard_add(const char* host, const file_stamp& made);
