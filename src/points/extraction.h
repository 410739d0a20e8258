// The extraction pass: reads the input a second time and writes every record
// inside the zone to the output point file.
#pragma once

#include <cstdint>

#include "points/pass.h"
#include "points/point_writer.h"
#include "points/record_reader.h"
#include "points/survey.h"
#include "points/zone.h"
#include "points/zone_map.h"

namespace tessera {

struct extraction_result {
  int64_t record_count;         // records read
  read_status end;     // how the reading ended
  int64_t end_offset;  // where in the data it ended
  bool written;        // every record inside the zone reached the output (else see w.write_errno)
  int64_t written_count;  // records written to the output
};

// Writes every record of `r` inside `z` to `w`, in the order read, and
// flushes `w`. Stops reading at the first failed write. With the map the
// survey made of the same file, steps over the stretches that cannot hold
// a point of the zone, counting their records as read; null reads every
// record.
extraction_result extract_records(record_reader& r, const zone& z, point_writer& w, progress_fn progress,
                                  const zone_map* map = nullptr);

}  // namespace tessera
