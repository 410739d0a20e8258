#include "phases/extraction_pass.h"

#include "phases/input_failure.h"
#include "run/dialogue.h"
#include "run/messages.h"

namespace tessera {

int extraction_pass(run_files& files, const zone& z, const survey_values& s, int64_t& written) {
  show("\n\n");
  record_reader r(files.input.stream);
  point_writer w;
  writer_start(w, files.output.stream);
  extraction_result e = extract_records(r, z, w, progress, &s.map);
  written = e.written_count;
  if (!e.written) {
    say_write_failed(files.output, w.write_errno);
    return status_write_failed;
  }
  if (e.end == read_status::read_error) return input_read_failed(files.input, r.read_errno());
  if (e.record_count != s.record_count || e.end != s.end || e.end_offset != s.end_offset) {
    show(failure::input_changed, files.input.built);
    return status_read_failed;
  }
  return status_ok;
}

}  // namespace tessera
