#include "phases/extraction_pass.h"

#include "phases/input_failure.h"
#include "run/dialogue.h"
#include "run/error_text.h"
#include "run/messages.h"
#include "run/written_files.h"

int extraction_pass(const zone& z, const survey_values& s) {
  show("\n\n");
  record_reader r(f1);
  point_writer w;
  writer_start(w, f2);
  extraction_result e = extract_records(r, z, w, progress);
  if (!e.written) {
    show(failure::cannot_write, nom_out, write_failure_text(nom_out, w.write_errno));
    return status_write_failed;
  }
  if (e.end == read_status::read_error) return input_read_failed(r.read_errno());
  if (e.ico != s.ico || e.end != s.end || e.end_offset != s.end_offset) {
    show(failure::input_changed, nom_in);
    return status_read_failed;
  }
  return status_ok;
}
