// The three processing phases, in order: survey, zone, extraction.
#pragma once

#include "run/run_end.h"

namespace tessera {

// Runs the phases on the files the opening made ready, and returns how the treatment ended: the run's status,
// the graver of what the survey found and what the extraction met (or the
// status of a dialogue or a report that could not go on), whether its files
// are published, and what the output holds. A survey that could not read
// the input, or read no point before the data stopped, ends the treatment
// there.
run_outcome treatment(run_files& files);

}  // namespace tessera
