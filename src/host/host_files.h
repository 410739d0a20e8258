// The files as the host has them: where a built path points, how files are
// created, replaced, locked and stamped, and how the folder of the written
// files is held. Implemented by files_posix.cpp and files_windows.cpp (CMake
// picks one). Every path below is a host path (see host_path), UTF-8 on
// Windows. The reasons a call returns, errno values and the host's own
// conditions, are those of host_reasons.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "host/host_reasons.h"

namespace tessera {

// Room for a host path: a built path (127 characters) plus the longest
// temporary-file decoration (".", ".tessera-", a process id, "-", an
// 8-digit tag, ".tmp").
constexpr int host_path_size = 256;

// The file a built path (root "c:\images\", backslash separators) names on
// this host. On Windows that is the built path itself. On POSIX hosts the
// working directory plays drive C: and every backslash becomes a slash, so
// c:\images\site1\dem.xyz is images/site1/dem.xyz. `out` has room for
// `size` bytes.
void host_path(const char* built, char* out, size_t size);

// True if the path names an existing regular file.
bool is_regular_file(const char* host);

// True if both paths name the same existing file, by whatever spelling,
// hard link or symbolic link.
bool same_file(const char* host_a, const char* host_b);

// Opens the input for reading, or returns nullptr.
FILE* open_input(const char* host);

// A second stream on the same open file, so that the file can still be
// looked at after the first stream is closed; nullptr if none can be made.
FILE* duplicate_stream(FILE* f);

// What tells one state of a file from another: its identity (device and
// inode, or volume serial and file index), its size, its modification time
// and its change time. A program can set the modification time back after
// an edit, but not the change time, which the system sets at every change
// of the file's data or attributes.
struct file_stamp {
  uint64_t device = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  int64_t modified = 0;  // in the host's finest unit
  int64_t changed = 0;   // likewise
};
bool stamp_of_stream(FILE* f, file_stamp& s);
bool stamp_of_path(const char* host, file_stamp& s);
inline bool same_stamp(const file_stamp& a, const file_stamp& b) {
  return a.device == b.device && a.index == b.index && a.size == b.size && a.modified == b.modified &&
         a.changed == b.changed;
}

// The process id, which names this run's temporary files.
unsigned long process_id();

// A number drawn at random (from the clock where the host has no random
// source), which with the process id tells this run's temporary files from
// those of any other run.
uint32_t random_tag();

// Why a write to the file at `host` failed, given the C runtime's errno. On
// Windows, whose C runtime can report a full volume as EINVAL, ENOSPC when
// the volume has less room left than the largest write a run makes;
// elsewhere `err` as it stands.
int write_failure(const char* host, int err);

// Opens the folder that holds the file `host` and keeps it for the rest of
// the run. Every file the calls below name from then on lies in that
// folder, and is reached through it, so that a folder renamed or removed
// during the run is still the one they act on, wherever it went. Zero,
// folder_marked_immutable or folder_marked_append_only (a folder where a
// file may be created but never renamed or removed), or the errno.
int hold_folder(const char* host);

// True if the path of the folder held still names that folder.
bool folder_in_place();

// Zero if a run may publish a file at `host` by replacing what is there:
// nothing, a regular file it may write, or a symbolic link (the link itself
// is replaced, never written through). Otherwise why not: a folder (EISDIR),
// a file it may not write, not_a_regular_file (a FIFO, a device, a socket),
// in_use_by_another_program, or one of the conditions why it could not be
// replaced (marked_immutable, marked_append_only, owned_by_another_user).
int final_path_refused(const char* host);

// Takes the advisory lock of one output, held through the file at `host`
// (created if missing, opened for reading only if it may not be written,
// never through a link), and records the lock file for removal on a signal
// (host_signals.h). Zero, held_by_another_run, not_a_regular_file,
// no_room_to_guard, or the errno; `lock_file_there` tells whether something
// sits at `host` (else the folder itself refused a new file).
int lock_output(const char* host, bool& lock_file_there);

// Removes the lock file, then releases the lock.
void unlock_output();

// Creates a new file at `host` for writing (exclusively: an existing file,
// link or anything else there makes it fail with EEXIST), readable and
// writable by its owner alone from its creation, so that nobody else reads
// it while it is written, and records it for removal on a signal
// (host_signals.h). `made` is the new file's identity. Zero,
// no_room_to_guard (the file is removed again), or the errno.
int create_temporary(const char* host, FILE*& f, file_stamp& made);

// Gives the complete file `f`, to be published at `like`, the permissions
// of the regular file at `like` if there is one, and its owner and group
// where the run may give them; else the permissions of a new file (0666
// less the umask). The name itself is looked at: what a link there points
// to lends nothing. Zero or the errno of a change that failed, and the file
// is then not to be published (it would stay narrower or wider than meant).
int take_attributes(FILE* f, const char* like);

// True if the name `host` itself (a link there is not followed) is the file
// whose identity is that of `made`.
bool holds_file(const char* host, const file_stamp& made);

// Removes every regular file of the folder held whose name
// `left_by_killed_run` accepts, which is given `context` with each name;
// returns how many it removed.
int remove_left_files(bool (*left_by_killed_run)(const char* name, const void* context), const void* context);

// Tells the system that the cached contents of the regular file at `host`
// are of no more use (the earlier output, which the run will replace).
// Does nothing where there is no such file or no such request.
void forget_cached(const char* host);

// Renames `from` over `to`, replacing what is there (a symbolic link at
// `to` is replaced, never followed). Zero, in_use_by_another_program or the
// errno.
int replace_file(const char* from, const char* to);

// Removes the name `host` if it still holds the file this run created
// there, `made`.
void remove_file(const char* host, const file_stamp& made);

// Room for one file name as UTF-8: Windows allows 255 UTF-16 units, at most
// 3 bytes each.
constexpr int file_name_size = 768;

// The file's own name when the last part of `host` names an existing file by
// another spelling than its own, other than by case: on Windows, a short
// (8.3) name such as NORT~V2O.XYZ for northern_area.xyz. False when there
// is no such file or the name typed is its own (always on POSIX hosts).
// `name` has room for file_name_size bytes.
bool full_name_of(const char* host, char (&name)[file_name_size]);

// True if the path names a device of the host rather than a file (NUL,
// CON, COM1 and the like on Windows); never on POSIX hosts.
bool names_a_device(const char* host);

}  // namespace tessera
