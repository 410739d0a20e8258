#include "phases/survey_pass.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "phases/input_failure.h"
#include "points/header_columns.h"
#include "points/input_kind.h"
#include "run/dialogue.h"
#include "run/messages.h"
#include "run/report.h"

namespace tessera {

namespace {

// Says that the input is not a text point file, and what to do.
int refuse_input(const watched_input& in, const input_check& c) {
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
    if (w.kind == c.kind) show(failure::not_text, in.built, w.is, w.advice);
  }
  if (c.kind == input_kind::zero_byte) show(failure::zero_byte, in.built, static_cast<long long>(c.zero_line));
  return status_read_failed;
}

}  // namespace

void describe_stop(const survey_values& s, char* text, int size) {
  if (s.end == read_status::cut_short) {
    std::snprintf(text, size_t(size), notice::stop_cut_short, static_cast<long long>(s.stop.line),
                  static_cast<long long>(s.stop.record));
  } else if (s.end == read_status::line_too_long) {
    std::snprintf(text, size_t(size), notice::stop_line_too_long, static_cast<long long>(s.stop.line),
                  static_cast<long long>(s.stop.record), int(line_text_max / mebibyte));
  } else if (s.end == read_status::short_line && s.layout.by_names) {
    const int needed = 1 + std::max({s.layout.xyz[0], s.layout.xyz[1], s.layout.xyz[2]});
    std::snprintf(text, size_t(size), notice::stop_short_columns, static_cast<long long>(s.stop.line),
                  static_cast<long long>(s.stop.record), s.stop.numbers, s.stop.numbers == 1 ? "" : "s", needed);
  } else if (s.end == read_status::short_line) {
    std::snprintf(text, size_t(size), notice::stop_short_line, static_cast<long long>(s.stop.line),
                  static_cast<long long>(s.stop.record), s.stop.numbers, s.stop.numbers == 1 ? "" : "s");
  } else if (s.stop.decimal_comma && s.record_count != 0) {
    std::snprintf(text, size_t(size), notice::stop_decimal_comma, static_cast<long long>(s.stop.line),
                  static_cast<long long>(s.stop.record), s.stop.text);
  } else {
    std::snprintf(text, size_t(size), notice::stop_not_a_number, static_cast<long long>(s.stop.line),
                  static_cast<long long>(s.stop.record), s.stop.text,
                  s.stop.decimal_comma ? " (use a point for decimals)" : "");
  }
}

bool stopped_before_any_point(const survey_values& s) {
  return s.record_count == 0 && (s.end == read_status::not_a_number || s.end == read_status::cut_short ||
                                 s.end == read_status::short_line || s.end == read_status::line_too_long);
}

bool publishes_nothing(const survey_values& s) {
  return stopped_before_any_point(s) || (s.end == read_status::not_a_number && s.stop.decimal_comma);
}

void describe_control_z(int64_t line, char* text, int size) {
  std::snprintf(text, size_t(size), notice::control_z, static_cast<long long>(line));
}

namespace {

// Appends a formatted sentence to text[0, size), as far as it fits.
void append_sentence(char* text, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));
void append_sentence(char* text, int size, const char* format, ...) {
  size_t used = std::strlen(text);
  if (used + 1 >= size_t(size)) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(text + used, size_t(size) - used, format, args);
  va_end(args);
}

}  // namespace

namespace {

// The words that name the delimited layout's separator in the notice of
// columns, or "".
const char* separated_by(char separator) {
  switch (separator) {
    case ',': return " separated by commas";
    case ';': return " separated by semicolons";
    case '|': return " separated by vertical bars";
    default: return "";
  }
}

}  // namespace

void describe_reading(const survey_values& s, char* text, int size) {
  text[0] = 0;
  const file_layout& l = s.layout;
  if (l.count_line != 0) {
    append_sentence(text, size, notice::point_count, static_cast<long long>(l.count_line),
           static_cast<long long>(l.count_value));
    if (l.count_value != s.record_count) {
      append_sentence(text, size, notice::point_count_differs, static_cast<long long>(s.record_count),
             s.record_count == 1 ? " was" : "s were");
    }
    append_sentence(text, size, ".");
  }
  if (l.by_names || l.kind == point_layout::delimited || (l.kind == point_layout::line && l.columns > 3)) {
    const char* separated = separated_by(l.separator);
    if (l.by_names) {
      append_sentence(text, size, notice::named_columns, l.columns, separated, l.xyz[0] + 1, l.xyz[1] + 1,
                      l.xyz[2] + 1);
    } else if (l.row_names) {
      append_sentence(text, size, notice::row_name_columns, l.columns, separated);
    } else if (l.columns > 3) {
      append_sentence(text, size, notice::extra_columns, l.columns, separated);
    } else {
      append_sentence(text, size, notice::three_columns, separated);
    }
  }
  if (s.skipped.count != 0) {
    append_sentence(text, size, s.skipped.count == 1 ? notice::skipped_one : notice::skipped_many,
           static_cast<long long>(s.skipped.count), static_cast<long long>(s.skipped.first_line));
  }
  if (s.nodata.count != 0) {
    append_sentence(text, size, s.nodata.count == 1 ? notice::nodata_one : notice::nodata_many,
           static_cast<long long>(s.nodata.count), static_cast<long long>(s.nodata.first_line));
  }
}

namespace {

// Writes the survey's entries to the report: the bounds, the header lines
// skipped, and the sentences shown (where the data stopped, how they were
// read, a 0x1A), each "" when there is none. True if all were written (see
// report).
bool report_survey(run_files& files, const survey_values& s, const record_reader& r, const char* more_headers,
                   const char* stopped, const char* reading, const char* control_z) {
  written_file& to = files.report;
  return report(to, "\n\n\tInfo concerning File_in named %s : ", files.input.built) &&
         report(to, "\n\t\tNumber of records : %lld ", static_cast<long long>(s.record_count)) &&
         report(to, "\n\t\tCoordinates : ") && report(to, "\n\t\t\tX_min : %lf ", s.X_min) &&
         report(to, "\n\t\t\tX_max : %lf ", s.X_max) && report(to, "\n\t\t\tY_min : %lf ", s.Y_min) &&
         report(to, "\n\t\t\tY_max : %lf ", s.Y_max) && report(to, "\n\t\t\tZ_min : %lf ", s.Z_min) &&
         report(to, "\n\t\t\tZ_max : %lf ", s.Z_max) &&
         (r.header_line() == 0 ||
          report(to, notice::header_reported, static_cast<long long>(r.header_line()), r.header_text())) &&
         (more_headers[0] == 0 || report(to, "\n\n\t%s ", more_headers)) &&
         (stopped[0] == 0 || report(to, "%s ", stopped)) && (reading[0] == 0 || report(to, "%s ", reading)) &&
         (control_z[0] == 0 || report(to, "%s ", control_z));
}

}  // namespace

int survey_pass(run_files& files, survey_values& s) {
  input_check kind = check_input(files.input.stream);
  if (kind.kind != input_kind::text) return refuse_input(files.input, kind);
  record_reader r(files.input.stream);
  // A 0 byte in the lines before the first point, however far they reach:
  // the reader that decided the layout has seen them.
  if (r.zero_byte_line() != 0) return refuse_input(files.input, {input_kind::zero_byte, r.zero_byte_line()});
  show("\n\n");
  if (r.header_line() != 0) {
    show(notice::header_shown, static_cast<long long>(r.header_line()), r.header_text());
  }
  char more_headers[160] = "";
  if (r.more_headers() == 1) {
    std::snprintf(more_headers, sizeof more_headers, notice::more_header_one,
                  static_cast<long long>(r.more_header_line()));
  } else if (r.more_headers() > 1) {
    std::snprintf(more_headers, sizeof more_headers, notice::more_headers, static_cast<long long>(r.more_headers()),
                  static_cast<long long>(r.more_header_line()));
  }
  if (more_headers[0] != 0) show("\t%s\n", more_headers);
  s = survey_records(r, progress);
  if (s.end == read_status::read_error) return input_read_failed(files.input, s.read_errno);
  // A header naming one of X and Y alone: the data stop at it, before any point.
  if (const char lacking = r.layout().unnamed_axis; lacking != 0) {
    show(notice::axis_not_named, lacking == 'X' ? 'Y' : 'X', lacking, axis_names(lacking == 'X' ? 0 : 1));
    show("%s", failure::nothing_read);
    s.end = read_status::not_a_number;
    return status_data_stopped;
  }
  char stopped[256] = "";
  if (s.end != read_status::end_of_data) {
    describe_stop(s, stopped, sizeof stopped);
    show("%s", stopped);
    // An empty output must not replace the earlier one, nor a file's
    // points read up to a decimal comma.
    if (publishes_nothing(s)) {
      show("%s", s.record_count == 0 ? failure::nothing_read : failure::decimal_commas);
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
  char reading[1024];
  describe_reading(s, reading, sizeof reading);
  if (reading[0] != 0) show("%s", reading);

  if (!report_survey(files, s, r, more_headers, stopped, reading, control_z)) return status_write_failed;
  return stopped[0] != 0 ? status_data_stopped : status_ok;
}

}  // namespace tessera
