// The three processing phases, in order: survey, zone, extraction.
#pragma once

void treatment();
