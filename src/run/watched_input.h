// The input point file: opened at the opening, read twice (survey,
// extraction), and watched, so that a change between the two readings is
// caught at the end of the run.
#pragma once

#include <cstdio>

#include "host/host_files.h"
#include "run/name_buffers.h"

namespace tessera {

struct watched_input {
  char built[path_size] = "";      // its built path, as the run names it to the user: c:\images\site1\dem.xyz
  char host[host_path_size] = "";  // its name on this host
  FILE* stream = nullptr;          // what both passes read
  FILE* copy = nullptr;            // a stream of its own on the input, open to the end of the run
  file_stamp at_opening;           // what watch_input saw
  bool watched = false;            // false if no stamp could be taken: the input is then taken as unchanged
};

// Remembers the input as it is now (identity, size, times), through a
// stream of its own that outlives `in.stream`.
void watch_input(watched_input& in);

// True unless the input, seen through its own stream or through its path,
// differs now from what watch_input saw.
bool input_unchanged(const watched_input& in);

}  // namespace tessera
