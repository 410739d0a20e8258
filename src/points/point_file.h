// Point files: plain text holding numbers (one point a line, or taken three
// at a time as the X, Y and Z of a record, or comma or semicolon fields; see
// record_reader.h). record_reader reads them;
// point_writer writes them one record a line as "%lf %lf %lf" and CR LF.
#pragma once

#include "points/point_writer.h"
#include "points/record_reader.h"

namespace tessera {

}  // namespace tessera
