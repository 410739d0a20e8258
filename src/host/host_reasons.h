// Why the host refused a file: the one table of the reasons a message gives
// after "Could not create", "Could not write" or "Could not read", as
// (code, text). A code is an errno value (positive) or one of the host's
// conditions below (negative), so the two never meet. To add a condition,
// give it the next negative code and its row here.
#pragma once

#include <cerrno>

namespace tessera {

// The host's conditions that are not errno values.
//
// Something other than a regular file, a symbolic link or nothing sits at a
// final path (a FIFO, a device, a socket).
constexpr int not_a_regular_file = -1;
// What lock_output returns when another run holds the lock.
constexpr int held_by_another_run = -2;
// Another program holds the file open and does not let it be replaced
// (Windows; never on POSIX hosts, where a file open elsewhere can always be
// replaced).
constexpr int in_use_by_another_program = -3;
// Why a file or its folder cannot be replaced although it may be written:
// the attributes immutable or append-only (chattr +i, +a), or, in a folder
// with the sticky bit (mode 1777), a file that belongs to another user.
constexpr int marked_immutable = -4;
constexpr int marked_append_only = -5;
constexpr int folder_marked_immutable = -6;
constexpr int folder_marked_append_only = -7;
constexpr int owned_by_another_user = -8;
// At the publish: a temporary name no longer holds the file the run wrote,
// or the folder is no longer at its path.
constexpr int replaced_during_the_run = -9;
constexpr int folder_moved = -10;
// The room for the files a signal removes is full: a file more was created
// than the host layer was made for (a fault of the program, never of the
// user's files). The file is removed at once and the run fails to create it.
constexpr int no_room_to_guard = -11;
// The last condition: the codes run from -1 down to it, each with its row.
constexpr int last_host_condition = no_room_to_guard;

struct host_reason_entry {
  int code;
  const char* text;
};

inline constexpr host_reason_entry host_reasons[] = {
    {not_a_regular_file, "not a regular file"},
    {held_by_another_run, "another run is writing the same output"},
    {in_use_by_another_program, "in use by another program"},
    {marked_immutable, "the file is marked immutable"},
    {marked_append_only, "the file is marked append-only"},
    {folder_marked_immutable, "its folder is marked immutable"},
    {folder_marked_append_only, "its folder is marked append-only"},
    {owned_by_another_user, "the file belongs to another user, in a shared folder (sticky bit)"},
    {replaced_during_the_run, "its temporary file was replaced during the run"},
    {folder_moved, "its folder was moved or removed during the run"},
    {no_room_to_guard, "the run has no room to remove it on a signal"},
    // The errno values a run can meet, in the words of the GNU C library on
    // every host: Windows' C runtime words some of them otherwise ("Resource
    // device", "Improper link"). Any other errno value is said by the C
    // library's strerror.
    {EACCES, "Permission denied"},
    {EISDIR, "Is a directory"},
    {ENOSPC, "No space left on device"},
    {EROFS, "Read-only file system"},
    {EEXIST, "File exists"},
    {ENOENT, "No such file or directory"},
    {EFBIG, "File too large"},
    {EMFILE, "Too many open files"},
    {ENAMETOOLONG, "File name too long"},
    {EXDEV, "Invalid cross-device link"},
    {EBUSY, "Device or resource busy"},
    {EIO, "Input/output error"},
    {EINVAL, "Invalid argument"},
};

constexpr int host_reason_count = int(sizeof host_reasons / sizeof host_reasons[0]);

// The index of the row of `code`, or -1 if the table has none. An index
// rather than a pointer: under -fsanitize=undefined, GCC does not take a
// pointer into the table compared with nullptr as a constant expression.
constexpr int host_reason_index(int code) {
  for (int i = 0; i < host_reason_count; ++i)
    if (host_reasons[i].code == code) return i;
  return -1;
}

constexpr bool one_row_a_code() {
  for (int i = 0; i < host_reason_count; ++i)
    if (host_reason_index(host_reasons[i].code) != i) return false;
  return true;
}
static_assert(one_row_a_code(), "one row a code");

constexpr bool every_condition_has_its_row() {
  for (int code = -1; code >= last_host_condition; --code)
    if (host_reason_index(code) < 0) return false;
  for (const host_reason_entry& entry : host_reasons)
    if (entry.code < last_host_condition || entry.code == 0) return false;
  return true;
}
static_assert(every_condition_has_its_row(), "the conditions run from -1 to last_host_condition, each with its row");

// The text of `code`: its row's, or the C library's for another errno value.
const char* reason_text(int code);

}  // namespace tessera
