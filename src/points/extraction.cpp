#include "points/extraction.h"

namespace tessera {

// The map's steps and the records' loop stay in one function, whose locals
// the compiler keeps in registers for the hot loop.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
extraction_result extract_records(record_reader& r, const zone& z, point_writer& w, progress_fn progress,
                                  const zone_map* map) {
  pass_count count{progress};
  const zone zz = z;  // a copy the compiler can keep in registers
  read_status status = read_status::record;
  bool written = true;
  int64_t written_count = 0;
  // The map's stretches, if it was made of this file: the reader stands at
  // the start of stretches[next] whenever the loop below begins a round.
  const stretch* stretches = nullptr;
  size_t mapped = 0, next = 0;
  if (map != nullptr && map->fits(r)) {
    stretches = map->stretches().data();
    mapped = map->stretches().size();
  }
  for (;;) {
    int64_t read_to = INT64_MAX;
    if (next < mapped) {
      size_t after = next;
      while (after < mapped && !stretches[after].always_read && stretch_misses(stretches[after], zz)) ++after;
      if (after != next) {
        const reader_position& p = stretches[after - 1].end;
        r.resume(p);
        count.add_many(p.records - count.record_count);
        next = after;
        continue;
      }
      read_to = stretches[next++].end.records;
    }
    while (count.record_count < read_to && (status = r.next_record()) == read_status::record) {
      const record_view& v = r.record();
      count.add();
      // Each number is converted only if the test needs it: a record's text
      // was checked whole when it was read.
      if (!in_zone_x(zz, v.x()) || !in_zone_y(zz, v.y())) continue;
      if (!v.write_to(w)) {
        written = false;
        break;
      }
      ++written_count;
    }
    if (status != read_status::record || !written) break;
  }
  if (written) written = writer_flush(w);
  return {count.record_count, status, r.offset(), written, written_count};
}

}  // namespace tessera
