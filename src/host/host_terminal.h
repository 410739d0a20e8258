// The console and the terminal as the host has them: how standard output is
// made ready for a run, and how one key is read straight from the terminal.
// Implemented by terminal_posix.cpp on POSIX hosts, and on Windows by
// src/run/console_windows.cpp, beside the console's other calls that the
// Windows key wait shares (console.h: where answers come from and how text
// is shown).
#pragma once

namespace tessera {

// Prepares the console: on Windows, standard output is put in binary mode
// so that both builds write the same bytes, and fully buffered so that a
// console is not written a character at a time. On POSIX hosts a file-size
// limit (ulimit -f) makes a write fail with "File too large" instead of
// killing the program, so that the run can say so and keep the earlier
// files.
void console_start();

// Waits for one new key press at the controlling terminal, without echo and
// without Enter, and discards it. Does not wait when there is no terminal,
// nor in a background job (one not in the terminal's foreground process
// group), which the terminal would stop.
// When standard output is not that terminal, `shown` (the text that says
// why the program waits) is written to the terminal too.
void wait_for_key(const char* shown);

}  // namespace tessera
