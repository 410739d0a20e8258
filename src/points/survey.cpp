#include "points/survey.h"

namespace {

// Widens a running range to a value: both tests strict, each made on its
// own, so a value can move the minimum, the maximum or (the first time
// past the start values) both.
inline void widen(double v, double& lo, double& hi) {
  if (v > hi) hi = v;
  if (v < lo) lo = v;
}

}  // namespace

survey_values survey_records(record_reader& r, progress_fn progress) {
  // The running values live in locals, so that they stay in registers for
  // the whole pass.
  pass_count count{progress};
  double X_min = 10000000.0, Y_min = 10000000.0, Z_min = 10000000.0;
  double X_max = 0.0, Y_max = 0.0, Z_max = 0.0;
  read_status status;
  while ((status = r.next_record()) == read_status::record) {
    const record_view& v = r.record();
    count.add();
    double X = v.x(), Y = v.y(), Z = v.z();
    widen(X, X_min, X_max);
    widen(Y, Y_min, Y_max);
    widen(Z, Z_min, Z_max);
  }
  return {count.ico, X_min, X_max, Y_min, Y_max, Z_min, Z_max, status, r.offset(), r.stop(), r.read_errno(),
          r.shifted(), r.control_z_line()};
}
