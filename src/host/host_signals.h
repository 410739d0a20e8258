// How a signal (POSIX) or a console event (Windows) ends a run: it removes
// the files the run created and still owns, says that the earlier files are
// unchanged, and ends the program as the signal would. Implemented by
// signals_posix.cpp and signals_windows.cpp (CMake picks one). The files it
// removes are recorded by lock_output and create_temporary (host_files.h).
#pragma once

namespace tessera {

// From here on, a signal that ends the program ends it with the status a
// shell shows for it (128 + n) even where the system would drop it (for
// process 1 of a PID namespace, a container's first process). Nothing on
// Windows, whose console events end any process.
void signals_start();

// From here on, a signal or console event that ends the program first
// removes every file this run created and still owns (its temporary files,
// then its lock file), then writes `message` to standard output (except
// when standard output is the broken pipe), then ends as that signal would.
void guard_start(const char* message);

// From here on the run settles its files: a signal or console event waits
// until the program has ended and does not interrupt the publishing or the
// removal of the temporary files.
void settle_files();

}  // namespace tessera
