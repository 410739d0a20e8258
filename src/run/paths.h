// Every path of a run, built in one place: the three built paths from the
// answers (root "c:\images\", folder, names, suffixes), and their names on
// this host, with the temporary files and the lock file of the output.
#pragma once

#include <cstdint>

#include "host/host_files.h"
#include "run/name_buffers.h"

namespace tessera {

constexpr const char* root = "c:\\images\\";
constexpr const char* separator = "\\";
constexpr const char* extension = ".xyz";
constexpr const char* report_suffix = "_xyz_info.txt";

// The built path of a folder answer: root, folder, separator. The caller
// has checked that it fits.
void build_folder_path(const char* folder_answer, char (&folder)[path_size]);

// The input path of the input answer `name` in `folder`.
void build_input_path(const char* folder, const char* name, char (&in)[path_size]);

// The output and report paths of the output answer `name`, in the folder
// whose built path (root, folder answer, separator) is `folder`. The caller
// has checked that both fit.
void build_output_paths(const char* folder, const char* name, char (&out)[path_size], char (&info)[path_size]);

// The lock file of the output whose host name is `host_out`, and the
// temporary file of the final name `host_final` for the process `pid` and
// the random `tag`.
//
// Each sits beside its final name, so that the rename stays in one folder
// (and on one device), and its name says what it is and which run made it:
// for north.xyz written by process 4242, .north.xyz.tessera-4242-<tag>.tmp
// (hidden on POSIX hosts by its leading dot), where <tag> is 8 hexadecimal
// digits drawn at random by the run. The process id alone does not tell
// runs apart: the first process of every container is process 1. The lock
// file is .north.xyz.tessera-lock.
void build_lock_path(const char* host_out, char (&lock)[host_path_size]);
void build_temporary_path(const char* host_final, unsigned long pid, uint32_t tag, char (&temp)[host_path_size]);

// True if `name` (a name in a folder, without the folder) is exactly the
// name of a temporary file of the final name `host_final` as this program
// makes them (.north.xyz.tessera-<pid>-<tag>.tmp) or as its earlier
// versions did (.north.xyz.tessera-<pid>.tmp, .north.xyz.tessera-<pid>-<n>.tmp).
bool is_temporary_name(const char* name, const char* host_final);

// The part of a host path after its last separator.
const char* name_in_folder(const char* host);

// The host name of a built path.
void host_name(const char* built, char (&host)[host_path_size]);

}  // namespace tessera
