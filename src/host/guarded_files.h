// Private to src/host/: the room for the files a signal or a console event
// removes, shared by the files' implementation, which records each file it
// creates, and the signals', which removes them.
#pragma once

#include "host/host_files.h"

namespace tessera {

// What the room holds: the lock file of the output, and the two temporary
// files, the output's and the report's. Nothing else is created in a run.
constexpr int guarded_lock_files = 1;
constexpr int guarded_temporary_files = 2;
constexpr int guarded_files_room = guarded_lock_files + guarded_temporary_files;

// Records the file the run has just created at `host`, whose identity is
// `made`, for removal on a signal. Call it with the end signals held
// (hold_end_signals on POSIX hosts). False when the room is full: a file
// more than the room holds is a fault of the program, which the caller
// turns into a failure to create the file (no_room_to_guard), never a file
// a signal would leave behind.
bool guard_add(const char* host, const file_stamp& made);

}  // namespace tessera
