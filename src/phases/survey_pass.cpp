#include "phases/survey_pass.h"

#include <cstdio>

#include "phases/input_failure.h"
#include "points/input_kind.h"
#include "run/dialogue.h"
#include "run/messages.h"
#include "run/report.h"
#include "run/run_end.h"

namespace {

// Says that the input is not a text point file, and what to do.
int refuse_input(const input_check& c) {
  struct what {
    input_kind kind;
    const char* is;
    const char* advice;
  };
  static const what kinds[] = {
      {input_kind::gzip, "a gzip-compressed file", "decompress it first"},
      {input_kind::zip, "a zip archive", "extract the point file from it first"},
      {input_kind::bzip2, "a bzip2-compressed file", "decompress it first"},
      {input_kind::xz, "an xz-compressed file", "decompress it first"},
      {input_kind::zstd, "a zstd-compressed file", "decompress it first"},
      {input_kind::seven_zip, "a 7z archive", "extract the point file from it first"},
      {input_kind::las, "a LAS file of binary points", "export its points as text first"},
  };
  for (const what& w : kinds) {
    if (w.kind == c.kind) show(failure::not_text, nom_in, w.is, w.advice);
  }
  if (c.kind == input_kind::zero_byte) show(failure::zero_byte, nom_in, static_cast<long long>(c.zero_line));
  return status_read_failed;
}

}  // namespace

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

bool stopped_before_any_point(const survey_values& s) {
  return s.ico == 0 && (s.end == read_status::not_a_number || s.end == read_status::cut_short);
}

void describe_control_z(int64_t line, char* text, int size) {
  std::snprintf(text, size_t(size),
                "\n\n\tThe data end at line %lld with a byte 0x1A (an end-of-file mark): what follows it is not read.",
                static_cast<long long>(line));
}

void describe_shifted(const shifted_line& l, char* text, int size) {
  std::snprintf(text, size_t(size),
                "\n\n\tLine %lld holds %lld numbers (the first line whose count is not a multiple of three): points "
                "are read three numbers at a time, so later points are shifted.",
                static_cast<long long>(l.line), static_cast<long long>(l.numbers));
}

int survey_pass(survey_values& s) {
  input_check kind = check_input(f1);
  if (kind.kind != input_kind::text) return refuse_input(kind);
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
    // An empty output must not replace the earlier one.
    if (stopped_before_any_point(s)) {
      show("%s", failure::nothing_read);
      return status_data_stopped;
    }
  }
  char control_z[256] = "";
  if (s.control_z_line != 0) {
    describe_control_z(s.control_z_line, control_z, sizeof control_z);
    show("%s", control_z);
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
  if (control_z[0] != 0) report("%s ", control_z);
  if (shifted[0] != 0) {
    report("%s ", shifted);
    status = graver_status(status, status_columns_shifted);
  }
  return status;
}
