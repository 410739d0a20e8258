// What differs from one host to another: where the built paths point, and
// how one key is read straight from the terminal.
#pragma once

#include <cstddef>
#include <cstdio>

// What differs between hosts lives in platform_posix.cpp and
// platform_windows.cpp, and nowhere else.

// Prepares the console: on Windows, standard output is put in binary mode so
// that both builds write the same bytes.
void console_start();

// The file a built path (root "c:\images\", backslash separators) names on
// this host. On Windows that is the built path itself. On POSIX hosts the
// working directory plays drive C: and every backslash becomes a slash, so
// c:\images\site1\dem.xyz is images/site1/dem.xyz. `out` has room for
// `size` bytes.
void host_path(const char* built, char* out, size_t size);

// Waits for one new key press at the controlling terminal, without echo and
// without Enter, and discards it. Does not wait when there is no terminal.
// When standard output is not that terminal, `shown` (the text that says
// why the program waits) is written to the terminal too.
void wait_for_key(const char* shown);

// True if the built path names an existing regular file.
bool is_regular_file(const char* built);

// True if both built paths name the same existing file, by whatever
// spelling, hard link or symbolic link.
bool same_file(const char* built_a, const char* built_b);

// Opens the input for reading, or returns nullptr.
FILE* open_input(const char* host);

// Creates (or empties) a file for writing, or returns nullptr.
FILE* create_file(const char* host);

// True if the built path names a device of the host rather than a file
// (NUL, CON, COM1 and the like on Windows); never on POSIX hosts.
bool names_a_device(const char* built);
