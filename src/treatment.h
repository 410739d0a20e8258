// The three processing phases, in order: survey, zone, extraction.
#pragma once

#include "run/written_said.h"

// How the treatment ended: the run's status, the graver of what the survey
// found and what the extraction met, whether its files are published, and
// what the output holds, to be said once they are.
struct run_outcome {
  int status;
  bool publishes;  // false when the reading stopped before any point
  points_written said;
};

// Runs the phases. A survey that could not read the input, or read no
// point before the data stopped, ends the treatment there.
run_outcome treatment();
