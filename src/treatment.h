// The three processing phases, in order: survey, zone, extraction.
#pragma once

// Runs them and returns the run's status: the graver of what the survey
// found and what the extraction met. A survey that could not read the input
// ends the treatment there.
int treatment();
