// Private to src/host/: what the POSIX files, signals and terminal share.
// The signals' implementation (signals_posix.cpp) holds the end signals and
// how a handler ends the program; the files' (files_posix.cpp) holds the
// folder of the written files, through which the signal handler reaches
// the files it removes.
#pragma once

#include <csignal>

#include "host/host_files.h"

namespace tessera {

namespace posix_host {

// The catchable signals whose default action ends the program and that
// another process (a shell, a terminal, a pipe reader, a job scheduler) may
// send. Faults (SIGSEGV and the like) are left to their default action and
// to the sanitizers, except during the key wait (terminal_posix.cpp).
// SIGXFSZ is ignored instead (see console_start).
inline constexpr int end_signals[] = {SIGHUP, SIGINT,  SIGQUIT, SIGABRT, SIGUSR1,   SIGUSR2,
                                      SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF};
inline constexpr int end_signal_count = int(sizeof end_signals / sizeof end_signals[0]);

// Blocks the end signals while a file is created and recorded, so that no
// signal falls between the two; gives back the mask to restore.
sigset_t hold_end_signals();
void release_end_signals(const sigset_t& old);

// Sends `sig` to the program with its default action, from a handler where
// it is blocked, and unblocks it so that it takes effect now. Only
// async-signal-safe calls.
void raise_by_default(int sig);

// Ends the program as the signal `sig` does by default, from a handler
// where it is blocked, with the status a shell shows for it where the
// signal comes to nothing. Only async-signal-safe calls.
[[noreturn]] void end_as_signal(int sig);

// The name to give the *at calls for the file `host`, and the folder it is
// in (`dir`): its last component in the folder held, or the path itself
// before a folder is held.
const char* held_name(const char* host, int& dir);

// True if `name` in `dir` (not followed if a link) is the file `made`. Only
// async-signal-safe calls.
bool holds_at(int dir, const char* name, const file_stamp& made);

}  // namespace posix_host

}  // namespace tessera
