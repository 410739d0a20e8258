// Reading and writing point files: three numbers a record, X, Y and Z.
//
// The reader streams the input through one fixed buffer. Carriage returns are
// removed before the numbers are parsed and a byte 0x1A ends the data. The
// reader does not look at line structure: any whitespace separates numbers.
// A first line that does not start with a number (a column header) is
// skipped. Any later text that is not a number, or a last record with fewer
// than three numbers, stops the reading; the reader then tells where.
//
// The writer formats each record as "%lf %lf %lf" and ends it with CR LF.
#pragma once

#include <cstdint>
#include <cstdio>

#include "points/number_format.h"
#include "points/number_scan.h"

struct point_record {
  double X;
  double Y;
  double Z;
};

enum class read_status {
  record,        // a complete record was read
  end_of_data,   // the data ended before the first number of a record
  not_a_number,  // text that is not a number stopped the reading
  cut_short,     // the data ended inside a record
  read_error,    // the file could not be read
};

// Where and why a pass stopped before the end of the data.
struct data_stop {
  int64_t line;    // line of the offending text, from 1
  int64_t record;  // the record that could not be read, from 1
  char text[48];   // the offending text, shortened, non-printable bytes as '?'
};

constexpr int input_block_size = 1 << 20;

struct point_reader {
  FILE* file;
  char* buf;          // the fixed block buffer; *end is always a 0 sentinel
  char* pos;          // next byte to read
  char* end;          // end of the data in buf
  bool eof;           // nothing more will be read from the file
  int read_errno;     // errno of a failed read, or 0
  int64_t consumed;   // cleaned bytes before buf
  int64_t lines;      // line feeds before buf
  int64_t records;    // complete records read so far
  int64_t header_line;  // the skipped header's line, or 0
  char header_text[48];
  data_stop stop;     // filled when a read ends with not_a_number or cut_short
};

// Starts a pass over `file` from its beginning, using the reader's single
// buffer, and skips a header line if the data begins with one.
void reader_start(point_reader& r, FILE* file);

// Cleaned bytes consumed so far: where the pass stands in the data.
inline int64_t reader_offset(const point_reader& r) { return r.consumed + (r.pos - r.buf); }

// Reads a record the careful way, refilling the buffer as it goes.
read_status read_record_slow(point_reader& r, point_record& p);

// Reads the next record. The common case, a record that lies wholly inside
// the buffer, is scanned straight from memory; the buffer's 0 sentinel stops
// every scan at its end, and anything unusual is handed to the slow path.
inline read_status read_record(point_reader& r, point_record& p) {
  struct {
    const char* p;
    int peek() const { return static_cast<unsigned char>(*p); }
    void bump() { ++p; }
  } src{r.pos};
  double v[3];
  for (double& value : v) {
    skip_space(src);
    decimal_number d;
    if (!scan_decimal(src, d) || src.p == r.end || !decimal_to_double(d, value)) {
      return read_record_slow(r, p);
    }
  }
  r.pos = const_cast<char*>(src.p);
  ++r.records;
  p = {v[0], v[1], v[2]};
  return read_status::record;
}

constexpr int output_block_size = 1 << 20;
constexpr int record_text_max = 3 * lf_text_max + 4;

struct point_writer {
  FILE* file;
  char* buf;
  char* pos;
  char* limit;    // a record starting before here always fits
  int write_errno;  // errno of the first failed write, or 0
};

void writer_start(point_writer& w, FILE* file);

// Writes out what the buffer holds. False if the write failed.
bool writer_flush(point_writer& w);

// Formats one record into the buffer. False if a write failed.
inline bool write_record(point_writer& w, const point_record& p) {
  if (w.pos >= w.limit && !writer_flush(w)) return false;
  char* out = format_lf(w.pos, p.X);
  *out++ = ' ';
  out = format_lf(out, p.Y);
  *out++ = ' ';
  out = format_lf(out, p.Z);
  out[0] = '\r';
  out[1] = '\n';
  w.pos = out + 2;
  return true;
}
