#include "phases/survey_pass.h"

#include <cstdio>

#include "phases/input_failure.h"
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

void describe_shifted(const shifted_line& l, char* text, int size) {
  std::snprintf(text, size_t(size),
                "\n\n\tLine %lld holds %lld numbers (the first line whose count is not a multiple of three): points "
                "are read three numbers at a time, so later points are shifted.",
                static_cast<long long>(l.line), static_cast<long long>(l.numbers));
}

int survey_pass(survey_values& s) {
  show("\n\n");
  record_reader r(f1);
  if (r.header_line() != 0) {
    show("\tLine %lld is not a point and is skipped as a header: %s\n", static_cast<long long>(r.header_line()),
         r.header_text());
  }
  s = survey_records(r, progress);
  if (s.end == read_status::read_error) return input_read_failed(s.read_errno);
  char stopped[256] = "";
  if (s.end != read_status::end_of_data) {
    describe_stop(s, stopped, sizeof stopped);
    show("%s", stopped);
  }

  show("\n\n\tX_min = %lf X_max = %lf ", s.X_min, s.X_max);
  show("\n\tY_min = %lf Y_max = %lf ", s.Y_min, s.Y_max);
  show("\n\tZ_min = %lf Z_max = %lf ", s.Z_min, s.Z_max);
  char shifted[256] = "";
  if (s.shifted.line != 0) {
    describe_shifted(s.shifted, shifted, sizeof shifted);
    show("%s", shifted);
  }

  report("\n\n\tInfo concerning File_in named %s : ", nom_in);
  report("\n\t\tNumber of records : %lld ", static_cast<long long>(s.ico));
  report("\n\t\tCoordinates : ");
  report("\n\t\t\tX_min : %lf ", s.X_min);
  report("\n\t\t\tX_max : %lf ", s.X_max);
  report("\n\t\t\tY_min : %lf ", s.Y_min);
  report("\n\t\t\tY_max : %lf ", s.Y_max);
  report("\n\t\t\tZ_min : %lf ", s.Z_min);
  report("\n\t\t\tZ_max : %lf ", s.Z_max);
  if (r.header_line() != 0) {
    report("\n\n\tLine %lld is not a point and is skipped as a header: %s ", static_cast<long long>(r.header_line()),
           r.header_text());
  }
  int status = status_ok;
  if (stopped[0] != 0) {
    report("%s ", stopped);
    status = status_data_stopped;
  }
  if (shifted[0] != 0) {
    report("%s ", shifted);
    status = graver_status(status, status_columns_shifted);
  }
  return status;
}
