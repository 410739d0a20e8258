#include "points/survey.h"

#include <cmath>
#include <utility>

namespace tessera {

namespace {

// Widens a running range to a value, or to another range: both tests
// strict, each made on its own, so a value can move the minimum, the
// maximum or (the first time past the start values) both, and of equal
// values the first one stays. Widening by the ranges of consecutive runs
// of values, each found in the same way from no value, gives the same
// bits as widening by every value in turn.
inline void widen(double v, double& lo, double& hi) {
  if (v > hi) hi = v;
  if (v < lo) lo = v;
}
inline void widen(double v_lo, double v_hi, double& lo, double& hi) {
  if (v_hi > hi) hi = v_hi;
  if (v_lo < lo) lo = v_lo;
}

// The bound shown for a range of values read, from no value: the data's
// own ends, as the running tests from the start values give them for data
// between 0 and 10000000. A maximum of zero is +0.0 whatever its sign, as
// the start value 0.0 (which a zero never replaces) gives it; no value at
// all leaves the start values.
void settle(double lo, double hi, bool any, double& min, double& max) {
  min = any ? lo : survey_min_start;
  max = any && hi != 0.0 ? hi : survey_max_start;
}

// The ranges of X, Y and Z over the records of one stretch of the map,
// from no value.
struct stretch_ranges {
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
  double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
};

// Reads the records of a stretch, up to the record count `stretch_end`,
// into its ranges: with `keyed`, runs of records of one layout at once
// (folded by their ranges), each then the record that ended it alone; else
// record by record. Returns the status of the last record read, or record
// if the stretch was read to its end.
template <bool keyed>
inline read_status fold_stretch(record_reader& r, pass_count& count, int64_t stretch_end, stretch_ranges& st) {
  while (count.record_count < stretch_end) {
    if constexpr (keyed) {
      keyed_bounds run;
      r.read_run(stretch_end - count.record_count, run);
      if (run.records != 0) {
        count.add_many(run.records);
        for (int i = 0; i < 3; ++i) widen(run.lo[i], run.hi[i], st.lo[i], st.hi[i]);
        continue;
      }
    }
    const read_status status = r.next_record();
    if (status != read_status::record) return status;
    const record_view& v = r.record();
    count.add();
    double X = v.x(), Y = v.y(), Z = v.z();
    widen(X, st.lo[0], st.hi[0]);
    widen(Y, st.lo[1], st.hi[1]);
    widen(Z, st.lo[2], st.hi[2]);
  }
  return read_status::record;
}

}  // namespace

survey_values survey_records(record_reader& r, progress_fn progress, zone_map map) {
  pass_count count{progress};
  // The ranges of every value read, from no value.
  double X_min = HUGE_VAL, Y_min = HUGE_VAL, Z_min = HUGE_VAL;
  double X_max = -HUGE_VAL, Y_max = -HUGE_VAL, Z_max = -HUGE_VAL;
  read_status status = read_status::record;
  const bool keyed = r.keyed();
  map.start(r);
  for (;;) {
    // The ranges of one stretch of the map, from no value, in locals that
    // the loop keeps close; the survey's ranges are widened by them when
    // the stretch ends, so the map costs the loop nothing more.
    const int64_t stretch_end = map.stretch_end();
    stretch_ranges st;
    const read_status read =
        keyed ? fold_stretch<true>(r, count, stretch_end, st) : fold_stretch<false>(r, count, stretch_end, st);
    if (read != read_status::record) status = read;
    widen(st.lo[0], st.hi[0], X_min, X_max);
    widen(st.lo[1], st.hi[1], Y_min, Y_max);
    widen(st.lo[2], st.hi[2], Z_min, Z_max);
    if (status != read_status::record) break;
    map.close_stretch(r, st.lo[0], st.hi[0], st.lo[1], st.hi[1]);
  }
  survey_values s{count.record_count, 0, 0, 0, 0, 0, 0, status, r.offset(), r.stop(), r.read_errno(), r.layout(),
                  r.skipped(), r.nodata(), r.control_z_line(), r.max_decimals(), std::move(map)};
  const bool any = count.record_count != 0;
  settle(X_min, X_max, any, s.X_min, s.X_max);
  settle(Y_min, Y_max, any, s.Y_min, s.Y_max);
  settle(Z_min, Z_max, any, s.Z_min, s.Z_max);
  return s;
}

}  // namespace tessera
