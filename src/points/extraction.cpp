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
  point_record p;
  read_status status;
  bool written = true;
  while ((status = read_record(r, p)) == read_status::record) {
    if (++ico == next_progress) {
      progress(ico);
      next_progress += 100000;
    }
    if (zz.X_min_extract <= p.X && p.X <= zz.X_max_extract && zz.Y_min_extract <= p.Y && p.Y <= zz.Y_max_extract) {
      bool ok = r.text != nullptr && r.layout.copyable ? write_record_text(w, r.text, r.layout) : write_record(w, p);
      if (!ok) {
        written = false;
        break;
      }
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
