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
#include <cstring>

#include "points/delimiters.h"
#include "points/fast_number.h"
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
constexpr int input_block_padding = 128;

// The layout of the last record read through the fast path. Survey files
// repeat one layout line after line; a record that matches it needs no more
// checking.
struct record_layout {
  bool known;
  uint64_t range;    // bits up to and including the record's last delimiter
  char pattern[64];  // the record's text up to there, digits read as '0'
  token_layout token[3];
  int end;           // offset of the delimiter after the third number
  bool copyable;     // every number prints under "%lf" as its own digits (see write_record_text)
};

struct point_reader {
  FILE* file;
  char* buf;          // the fixed block buffer; *end is always a 0 sentinel,
                      // and padding after it lets 8 bytes be read at once
  char* pos;          // next byte to read
  char* end;          // end of the data in buf
  bool eof;           // nothing more will be read from the file
  int read_errno;     // errno of a failed read, or 0
  int64_t consumed;   // cleaned bytes before buf
  int64_t records;    // complete records read so far
  int64_t header_line;  // the skipped header's line, or 0
  char header_text[48];
  data_stop stop;     // filled when a read ends with not_a_number or cut_short
  record_layout layout;
  const char* text;   // the last record's text if it was read with `layout`, else null
  point_record values;  // the last record's numbers when `text` is null
};

// Starts a pass over `file` from its beginning, using the reader's single
// buffer, and skips a header line if the data begins with one.
void reader_start(point_reader& r, FILE* file);

// Cleaned bytes consumed so far: where the pass stands in the data.
inline int64_t reader_offset(const point_reader& r) { return r.consumed + (r.pos - r.buf); }

// Reads a record the careful way, refilling the buffer as it goes.
read_status read_record_slow(point_reader& r, point_record& p);

// Reads a record one number after another with the fast number path, and
// hands anything unusual to the slow path.
inline read_status read_record_by_numbers(point_reader& r, point_record& p) {
  const char* s = r.pos;
  double v[3];
  for (double& value : v) {
    while (is_space(static_cast<unsigned char>(*s))) ++s;
    if (!fast_number(s, value) || s >= r.end) return read_record_slow(r, p);
  }
  r.pos = const_cast<char*>(s);
  ++r.records;
  p = {v[0], v[1], v[2]};
  return read_status::record;
}

// Reads a record from the delimiter masks of its 64 bytes and learns its
// layout; hands anything unusual on to read_record_by_numbers.
read_status next_record_learning(point_reader& r);

// Moves to the next record; its numbers are then had from record_value.
// The common case is a record laid out like the one before it (survey files
// repeat one layout line after line): its masks are compared with that
// layout, which checks every character of it, and its numbers are converted
// only when asked for. Any other record is cut into its numbers from the
// masks of its delimiters, read number by number, or, for anything unusual,
// read by the slow path with the general scanner. The buffer's 0 sentinel
// and padding keep every read inside the buffer.
inline read_status next_record(point_reader& r) {
  const char* s = r.pos;
  const record_layout& l = r.layout;
  if (l.known && (l.end < 32 ? matches_pattern<2>(s, l.pattern, l.range) : matches_pattern<4>(s, l.pattern, l.range))) {
    // A 0 byte, a sentinel included, never stands in a pattern, so a record
    // that matches lies wholly in the data.
    r.text = s;
    r.pos = const_cast<char*>(s + l.end);
    ++r.records;
    return read_status::record;
  }
  return next_record_learning(r);
}

// Number i (0 for X, 1 for Y, 2 for Z) of the record next_record moved to.
inline double record_value(const point_reader& r, int i) {
  if (r.text == nullptr) return i == 0 ? r.values.X : i == 1 ? r.values.Y : r.values.Z;
  return token_value(r.text, r.layout.token[i]);
}

// Reads the next record with all three of its numbers.
inline read_status read_record(point_reader& r, point_record& p) {
  read_status status = next_record(r);
  if (status == read_status::record) p = {record_value(r, 0), record_value(r, 1), record_value(r, 2)};
  return status;
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

// A number of at most 9 integer digits and at most 6 decimals prints under
// "%lf" as its own digits, padded to six decimals: the double read from it
// lies within half a unit in the last place, below 2.4e-7 under 2^32, of
// the decimal, so rounding it to 10^-6 gives the decimal back.
inline bool copyable(const token_layout& t) { return t.whole <= 9 && t.decimals <= 6; }

// Writes one number of a copyable layout from its text.
inline char* copy_number(char* out, const char* s, const token_layout& t) {
  using namespace fast_number_detail;
  if (t.negative) *out++ = '-';
  // No leading zeros, but at least one integer digit.
  int first = t.b;
  while (first < t.d - 1 && s[first] == '0') ++first;
  if (first == t.d) {
    *out++ = '0';
  } else {
    std::memcpy(out, s + first, 16);  // the window and the buffer have room
    out += t.d - first;
  }
  *out++ = '.';
  uint64_t decimals = load8(s + t.d + 1);
  uint64_t kept = t.decimals == 0 ? 0 : ~uint64_t(0) >> (64 - 8 * t.decimals);
  decimals = (decimals & kept) | (0x3030303030303030u & ~kept);  // padded with '0'
  std::memcpy(out, &decimals, 8);
  return out + 6;
}

// Writes a record read with a copyable layout from its text: the same bytes
// as write_record gives for its values, without formatting them.
inline bool write_record_text(point_writer& w, const char* s, const record_layout& l) {
  if (w.pos >= w.limit && !writer_flush(w)) return false;
  char* out = copy_number(w.pos, s, l.token[0]);
  *out++ = ' ';
  out = copy_number(out, s, l.token[1]);
  *out++ = ' ';
  out = copy_number(out, s, l.token[2]);
  out[0] = '\r';
  out[1] = '\n';
  w.pos = out + 2;
  return true;
}

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
