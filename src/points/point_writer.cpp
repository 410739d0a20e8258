#include "points/point_writer.h"

#include <cerrno>

namespace tessera {

namespace {

// The one output block: only the extraction pass writes points.
char output_block[output_block_size + record_text_max];

}  // namespace

void writer_start(point_writer& w, FILE* file) {
  w.file = file;
  w.buf = w.pos = output_block;
  w.limit = output_block + output_block_size;
  w.write_errno = 0;
}

bool writer_flush(point_writer& w) {
  size_t n = size_t(w.pos - w.buf);
  w.pos = w.buf;
  if (w.write_errno != 0) return false;
  if (n != 0 && std::fwrite(w.buf, 1, n, w.file) != n) {
    w.write_errno = errno != 0 ? errno : EIO;
    return false;
  }
  return true;
}

}  // namespace tessera
