// Writing point files: each record as "%lf %lf %lf" and a CR LF, through one
// fixed output block.
#pragma once

#include <cstdio>

#include "points/number_format.h"

namespace tessera {

struct point_record {
  double X;
  double Y;
  double Z;
};

constexpr int output_block_size = 1 << 20;
// The longest record text: three numbers, two blanks and CR LF.
constexpr int record_text_max = 3 * lf_text_max + 4;

struct point_writer {
  FILE* file;
  char* buf;
  char* pos;
  char* limit;      // a record starting before here always fits
  int write_errno;  // errno of the first failed write, or 0
};

void writer_start(point_writer& w, FILE* file);

// Writes out what the buffer holds. False if the write failed.
bool writer_flush(point_writer& w);

// Room for one record's text (record_text_max bytes) at the returned
// position, or null if a write failed. record_done then takes what was
// written up to `end`.
inline char* record_space(point_writer& w) {
  if (w.pos >= w.limit && !writer_flush(w)) return nullptr;
  return w.pos;
}
inline void record_done(point_writer& w, char* end) { w.pos = end; }

// Formats one record into the buffer. False if a write failed.
inline bool write_record(point_writer& w, const point_record& p) {
  char* out = record_space(w);
  if (out == nullptr) return false;
  out = format_lf(out, p.X);
  *out++ = ' ';
  out = format_lf(out, p.Y);
  *out++ = ' ';
  out = format_lf(out, p.Z);
  out[0] = '\r';
  out[1] = '\n';
  record_done(w, out + 2);
  return true;
}

}  // namespace tessera
