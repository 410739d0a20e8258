// One file a run writes, the output or the report: written into a
// temporary file beside its final name, then published by renaming it over
// that name, or removed (run_end.h).
#pragma once

#include <cstdio>

#include "host/host_files.h"
#include "run/name_buffers.h"

namespace tessera {

struct written_file {
  char built[path_size] = "";      // its built path, as the run names it to the user: c:\images\site1\north.xyz
  char host[host_path_size] = "";  // its final name on this host
  char temp[host_path_size] = "";  // the temporary file it is written into until the run completes
  FILE* stream = nullptr;          // open on the temporary file while the run writes it
  bool created = false;            // the temporary file is this run's, still to be published or removed
  // The temporary file's identity as created: a temporary name that holds
  // another file at the end is neither published nor removed.
  file_stamp made;
};

// The words for a failed write of `f`, from the C runtime's errno (see
// write_failure in host_files.h).
const char* write_failure_text(const written_file& f, int err);

// Says that writing `f` failed and why.
void say_write_failed(const written_file& f, int err);

// Says that the final name of `f` holds what it held before the run.
void say_unchanged(const written_file& f);

}  // namespace tessera
