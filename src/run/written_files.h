// The files a run writes, made ready at the opening: the lock of its
// output, and the temporary output and report it writes into.
#pragma once

#include "run/run_files.h"

namespace tessera {

// Says that each written file is unchanged, as every end that changes
// nothing does.
void say_files_unchanged(const run_files& files);

// Builds the host names of the written files and of the lock from their
// built paths, holds the output's folder, takes the lock of the output,
// removes the temporary files that killed runs left for it, checks what
// sits at the final names and creates the temporary files of the written
// files, with their streams. Returns status_ok or, having said why,
// status_in_use if another run holds the lock, or status_cannot_create.
int open_written_files(run_files& files);

}  // namespace tessera
