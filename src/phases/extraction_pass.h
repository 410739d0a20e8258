// The extraction pass as the user meets it: reads the input a second time
// and writes every record inside the zone to the output point file.
#pragma once

#include "points/extraction.h"
#include "run/run_files.h"

namespace tessera {

// Rewinds the input of `files` and writes the records inside `z` to its
// output, and sets `written` to how many. The survey's values tell where its pass
// ended, so a second reading that does not see the same data is caught.
// Returns status_ok, status_write_failed or status_read_failed, having said
// why.
int extraction_pass(run_files& files, const zone& z, const survey_values& s, int64_t& written);

}  // namespace tessera
