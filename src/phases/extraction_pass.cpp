#include "phases/extraction_pass.h"

#include "phases/input_failure.h"
#include "run/dialogue.h"
#include "run/messages.h"
#include "run/written_files.h"

int extraction_pass(const zone& z, const survey_values& s, int64_t& written) {
  show("\n\n");
  record_reader r(input_file);
  point_writer w;
  writer_start(w, output_file);
  extraction_result e = extract_records(r, z, w, progress, &s.map);
  written = e.written_count;
  if (!e.written) {
    show(failure::cannot_write, output_path, write_failure_text(output_path, w.write_errno));
    return status_write_failed;
  }
  if (e.end == read_status::read_error) return input_read_failed(r.read_errno());
  if (e.record_count != s.record_count || e.end != s.end || e.end_offset != s.end_offset) {
    show(failure::input_changed, input_path);
    return status_read_failed;
  }
  return status_ok;
}
