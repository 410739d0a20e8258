#include "points/survey.h"

#include <cstdio>

#include "points/input_kind.h"
#include "run/dialogue.h"
#include "run/report.h"

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

void describe_control_z(int64_t line, char* text, int size) {
  std::snprintf(text, size_t(size),
                "\n\n\tThe data end at line %lld with a byte 0x1A (an end-of-file mark): what follows it is not read.",
                static_cast<long long>(line));
}

void describe_not_text(const input_check& c, const char* name, char* text, int size) {
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
    if (w.kind == c.kind) {
      std::snprintf(text, size_t(size), "\n\t%s is %s, not a text point file: %s.\n", name, w.is, w.advice);
      return;
    }
  }
  std::snprintf(text, size_t(size),
                "\n\t%s holds a 0 byte at line %lld, before its first point: it is a binary file, not a text point "
                "file: export its points as text first (UTF-16 text needs its byte-order mark).\n",
                name, static_cast<long long>(c.zero_line));
}

void survey_pass(survey_values& s) {
  input_check kind = check_input(f1);
  if (kind.kind != input_kind::text) {
    char refusal[512];
    describe_not_text(kind, nom_in, refusal, sizeof refusal);
    show("%s", refusal);
    end_run(status_read_failed);
  }
  show("\n\n");
  record_reader r(f1);
  if (r.header_line() != 0) {
    show("\tLine %lld is not a point and is skipped as a header: %s\n", static_cast<long long>(r.header_line()),
         r.header_text());
  }
  s = survey_records(r, progress);
  if (s.end == read_status::read_error) input_read_failed(s.read_errno);
  char stopped[256] = "";
  if (s.end != read_status::end_of_data) {
    describe_stop(s, stopped, sizeof stopped);
    show("%s", stopped);
    // Nothing to publish: an empty output would replace the earlier one.
    if (s.ico == 0) {
      show("\n\n\tNo point was read before the data stopped, so nothing is written.\n");
      end_run_publishing_nothing(status_data_stopped);
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
  if (stopped[0] != 0) {
    report("%s ", stopped);
    run_status = status_data_stopped;
  }
  if (control_z[0] != 0) report("%s ", control_z);
  if (shifted[0] != 0) {
    report("%s ", shifted);
    // A data stop, which lost records, outranks it.
    if (run_status == status_ok) run_status = status_columns_shifted;
  }
}
