#include "points/extraction.h"

extraction_result extract_records(record_reader& r, const zone& z, point_writer& w, progress_fn progress) {
  pass_count count{progress};
  const zone zz = z;  // a copy the compiler can keep in registers
  read_status status;
  bool written = true;
  while ((status = r.next_record()) == read_status::record) {
    const record_view& v = r.record();
    count.add();
    // Each number is converted only if the test needs it: a record's text
    // was checked whole when it was read.
    if (!in_zone_x(zz, v.x()) || !in_zone_y(zz, v.y())) continue;
    if (!v.write_to(w)) {
      written = false;
      break;
    }
  }
  if (written) written = writer_flush(w);
  return {count.ico, status, r.offset(), written};
}
