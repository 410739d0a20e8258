#include "points/survey.h"

#include <cstdio>
#include <cstring>

#include "run/dialogue.h"
#include "run/report.h"

void describe_stop(const survey_values& s, char* text, int size) {
  if (s.end == read_status::cut_short) {
    std::snprintf(text, size_t(size),
                  "\n\n\tThe data stop at line %lld: record %lld is cut short; the records before it are used.",
                  static_cast<long long>(s.stop.line), static_cast<long long>(s.stop.record));
  } else {
    std::snprintf(text, size_t(size),
                  "\n\n\tThe data stop at line %lld, record %lld: \"%s\" is not a number; the records before it "
                  "are used.",
                  static_cast<long long>(s.stop.line), static_cast<long long>(s.stop.record), s.stop.text);
  }
}

void survey_pass(survey_values& s) {
  show("\n\n");
  point_reader r;
  reader_start(r, f1);
  if (r.header_line != 0) {
    show("\tLine %lld is not a point and is skipped as a header: %s\n", static_cast<long long>(r.header_line),
         r.header_text);
  }
  // The running values live in locals, not in `s`, so that they stay in
  // registers for the whole pass.
  int64_t ico = 0;
  int64_t next_progress = 100000;
  double X_min = 10000000.0, Y_min = 10000000.0, Z_min = 10000000.0;
  double X_max = 0.0, Y_max = 0.0, Z_max = 0.0;
  point_record p;
  read_status status;
  while ((status = read_record(r, p)) == read_status::record) {
    if (++ico == next_progress) {
      progress(ico);
      next_progress += 100000;
    }
    if (p.X > X_max) X_max = p.X;
    if (p.X < X_min) X_min = p.X;
    if (p.Y > Y_max) Y_max = p.Y;
    if (p.Y < Y_min) Y_min = p.Y;
    if (p.Z > Z_max) Z_max = p.Z;
    if (p.Z < Z_min) Z_min = p.Z;
  }
  if (status == read_status::read_error) {
    show("\n\tCould not read %s : %s\n", nom_in, std::strerror(r.read_errno));
    end_run(status_read_failed);
  }
  s = {ico, X_min, X_max, Y_min, Y_max, Z_min, Z_max, status, reader_offset(r), r.stop};
  char stopped[256] = "";
  if (status != read_status::end_of_data) {
    describe_stop(s, stopped, sizeof stopped);
    show("%s", stopped);
  }

  show("\n\n\tX_min = %lf X_max = %lf ", s.X_min, s.X_max);
  show("\n\tY_min = %lf Y_max = %lf ", s.Y_min, s.Y_max);
  show("\n\tZ_min = %lf Z_max = %lf ", s.Z_min, s.Z_max);

  report("\n\n\tInfo concerning File_in named %s : ", nom_in);
  report("\n\t\tNumber of records : %lld ", static_cast<long long>(s.ico));
  report("\n\t\tCoordinates : ");
  report("\n\t\t\tX_min : %lf ", s.X_min);
  report("\n\t\t\tX_max : %lf ", s.X_max);
  report("\n\t\t\tY_min : %lf ", s.Y_min);
  report("\n\t\t\tY_max : %lf ", s.Y_max);
  report("\n\t\t\tZ_min : %lf ", s.Z_min);
  report("\n\t\t\tZ_max : %lf ", s.Z_max);
  if (stopped[0] != 0) {
    report("%s ", stopped);
    run_status = status_data_stopped;
  }
}
