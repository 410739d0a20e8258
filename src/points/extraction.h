// The extraction pass: reads the input a second time and writes every record
// inside the zone to the output point file.
#pragma once

#include "points/survey.h"
#include "points/zone.h"

// Rewinds f1, writes the records inside `z` to f2, closes f1. The survey's
// values tell where its pass ended, so a second reading that does not see
// the same data is caught.
void extraction_pass(const zone& z, const survey_values& s);
