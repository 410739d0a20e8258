// The zone map: what the survey learns of each stretch of the input, so
// that the extraction can step over the stretches that cannot hold a point
// of the zone.
//
// A stretch is a run of consecutive records. For each, the map keeps the
// least and greatest X and Y of its records and the place where the next
// stretch begins (a reader_position: the reader resumes there in the state
// it had). Point files are mostly spatially ordered (scan lines, grid rows,
// tiles), so a small zone takes few stretches.
//
// The map has a fixed ceiling: when it is full, each two neighbouring
// stretches become one and the stretches to come are twice as long, so a
// file of any length is mapped in the same memory.
//
// What is after the last stretch (where the data end or stop, a 0x1A
// included) is always read. A stretch is read too if it holds the first
// line skipped as a comment or repeated header, or the first skipped for a
// nan, so that the pass finds those lines where it would without the map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "points/record_reader.h"
#include "points/zone.h"

namespace tessera {

// Records a stretch holds when the map begins: about a megabyte of a
// three-column file, so that stepping over one saves far more than the
// seek and the block read again where the next one begins cost.
constexpr int64_t stretch_records_default = 32768;
// The map's ceiling, in bytes.
constexpr size_t zone_map_bytes_max = size_t(1) << 20;

struct stretch {
  double X_min, X_max, Y_min, Y_max;  // over its records
  reader_position end;                // where the next stretch begins
  bool always_read;                   // it holds the first skipped line of a kind
};

class zone_map {
 public:
  // A map of stretches of `stretch_records` records at first, holding at
  // most `stretches_max` (at least 2) of them; 0 records makes a map that
  // records nothing (the passes then read every record).
  explicit zone_map(int64_t stretch_records, size_t stretches_max = zone_map_bytes_max / sizeof(stretch));
  zone_map() : zone_map(stretch_records_default) {}

  // While the survey reads: the record count at which the current stretch
  // ends (never, if the map records nothing).
  int64_t stretch_end() const { return stretch_end_; }
  // Called before the first record is read.
  void start(const record_reader& r);
  // Called when the reader has just read the stretch's last record, with
  // the least and greatest X and Y of its records.
  void close_stretch(const record_reader& r, double X_min, double X_max, double Y_min, double Y_max);

  // While the extraction reads: whether a reader standing before its first
  // record can use the map (it stands where the survey's did, with blocks
  // of the same size); the stretches; where the first one begins.
  bool fits(const record_reader& r) const;
  const std::vector<stretch>& stretches() const { return stretches_; }
  const reader_position& first() const { return start_; }

 private:
  void merge_neighbours();

  std::vector<stretch> stretches_;
  size_t stretches_max_;
  int64_t stretch_records_;
  int64_t stretch_end_;
  reader_position start_{};
  int block_size_ = 0;
  bool started_ = false;
};

// Whether no record of the stretch can lie inside the zone: its X range or
// its Y range misses the zone's. The zone test holds a point when
// X_min_extract <= X <= X_max_extract (and the same in Y), so it holds
// none of a stretch whose greatest X is below X_min_extract or whose least
// X is above X_max_extract: the same doubles, the same comparisons.
inline bool stretch_misses(const stretch& s, const zone& z) {
  return !(z.X_min_extract <= s.X_max && s.X_min <= z.X_max_extract && z.Y_min_extract <= s.Y_max &&
           s.Y_min <= z.Y_max_extract);
}

}  // namespace tessera
