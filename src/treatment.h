// The three processing phases, in order: survey, zone, extraction.
#pragma once

// How the treatment ended: the run's status, the graver of what the survey
// found and what the extraction met, and whether its files are published.
struct run_outcome {
  int status;
  bool publishes;  // false when the reading stopped before any point
};

// Runs the phases. A survey that could not read the input, or read no
// point before the data stopped, ends the treatment there.
run_outcome treatment();
