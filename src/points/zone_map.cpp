#include "points/zone_map.h"

#include <algorithm>
#include <limits>

namespace tessera {

namespace {

constexpr int64_t never = std::numeric_limits<int64_t>::max();

}  // namespace

zone_map::zone_map(int64_t stretch_records, size_t stretches_max)
    : stretches_max_(std::max<size_t>(stretches_max, 2)),
      stretch_records_(stretch_records),
      stretch_end_(stretch_records > 0 ? stretch_records : never) {}

void zone_map::start(const record_reader& r) {
  if (!r.resumable()) stretch_records_ = 0;  // records nothing: every record is read
  start_ = r.position();
  block_size_ = r.block_size();
  started_ = true;
  stretch_end_ = stretch_records_ > 0 ? start_.records + stretch_records_ : never;
}

void zone_map::close_stretch(const record_reader& r, double X_min, double X_max, double Y_min, double Y_max) {
  if (!started_ || stretch_records_ <= 0) return;
  const reader_position end = r.position();
  const reader_position& begin = stretches_.empty() ? start_ : stretches_.back().end;
  bool first_skipped = begin.skipped == 0 && end.skipped != 0;
  bool first_nodata = begin.nodata == 0 && end.nodata != 0;
  if (stretches_.empty()) stretches_.reserve(stretches_max_);
  stretches_.push_back({X_min, X_max, Y_min, Y_max, end, first_skipped || first_nodata});
  if (stretches_.size() == stretches_max_) merge_neighbours();
  stretch_end_ = end.records + stretch_records_;
}

void zone_map::merge_neighbours() {
  size_t kept = 0;
  for (size_t i = 0; i < stretches_.size(); i += 2) {
    stretch s = stretches_[i];
    if (i + 1 < stretches_.size()) {
      const stretch& t = stretches_[i + 1];
      s.X_min = std::min(s.X_min, t.X_min);
      s.X_max = std::max(s.X_max, t.X_max);
      s.Y_min = std::min(s.Y_min, t.Y_min);
      s.Y_max = std::max(s.Y_max, t.Y_max);
      s.end = t.end;
      s.always_read = s.always_read || t.always_read;
    }
    stretches_[kept++] = s;
  }
  stretches_.resize(kept);
  stretch_records_ *= 2;
}

bool zone_map::fits(const record_reader& r) const {
  if (!started_ || r.block_size() != block_size_ || !r.resumable()) return false;
  const reader_position p = r.position();
  return p.block_at == start_.block_at && p.consumed == start_.consumed && p.in_block == start_.in_block &&
         p.records == start_.records;
}

}  // namespace tessera
