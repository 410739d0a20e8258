#include "points/extraction.h"

#include <cstring>

#include "run/dialogue.h"

void extraction_pass(const zone& z, const survey_values& s) {
  show("\n\n");
  point_reader r;
  reader_start(r, f1);
  point_writer w;
  writer_start(w, f2);
  int64_t ico = 0;
  int64_t next_progress = 100000;
  const zone zz = z;  // a copy the compiler can keep in registers
  read_status status;
  bool written = true;
  while ((status = next_record(r)) == read_status::record) {
    if (++ico == next_progress) {
      progress(ico);
      next_progress += 100000;
    }
    // Each number is converted only if the test needs it: a record's text
    // was checked whole when it was read.
    double X = record_value(r, 0);
    if (!(zz.X_min_extract <= X && X <= zz.X_max_extract)) continue;
    double Y = record_value(r, 1);
    if (!(zz.Y_min_extract <= Y && Y <= zz.Y_max_extract)) continue;
    bool ok = r.text != nullptr && r.layout.copyable ? write_record_text(w, r.text, r.layout)
                                                     : write_record(w, {X, Y, record_value(r, 2)});
    if (!ok) {
      written = false;
      break;
    }
  }
  if (written) written = writer_flush(w);
  if (!written) write_failed(f2, nom_out, w.write_errno);
  if (status == read_status::read_error) {
    show("\n\tCould not read %s : %s\n", nom_in, std::strerror(r.read_errno));
    end_run(status_read_failed);
  }
  if (ico != s.ico || status != s.end || reader_offset(r) != s.end_offset) {
    show("\n\tThe second reading of %s did not see the same data as the first: %s is incomplete.\n", nom_in,
         nom_out);
    end_run(status_read_failed);
  }
  std::fclose(f1);
  f1 = nullptr;
}
