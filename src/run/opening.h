// The first phase of every run: the banner, the three names, the three
// paths, the three files and the report's first entries.
#pragma once

#include "run/run_files.h"

namespace tessera {

// Fills `files`: the built paths from the answers, the input opened and
// watched, the written files created. Returns status_ok, or the status the
// run ends with, having said why: status_input_ended (standard input
// ended), status_no_input ("No File"), status_in_use or
// status_cannot_create (the output or the report), status_write_failed (the
// report's header).
int opening(run_files& files);

}  // namespace tessera
