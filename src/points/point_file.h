// Point files: plain text holding numbers separated by whitespace, taken
// three at a time as the X, Y and Z of a record. record_reader reads them;
// point_writer writes them one record a line as "%lf %lf %lf" and CR LF.
#pragma once

#include "points/point_writer.h"
#include "points/record_reader.h"
