// Reading point files: numbers separated by whitespace, taken three at a time
// as the X, Y and Z of a record.
//
// A pass streams the input from its beginning through one fixed block.
// Carriage returns are removed before the numbers are parsed and a byte 0x1A
// ends the data. Line structure does not matter: any whitespace separates
// numbers. A first line that does not start with a number (a column header)
// is skipped. Any later text that is not a number, or a last record with
// fewer than three numbers, stops the pass; the reader then tells where.
//
//   record_reader r(file);
//   record_view v;
//   while (r.next_record(v) == read_status::record) use(v.x(), v.y(), v.z());
//
// How a record is read (several tiers that only decline to each other) is
// told in record_reader.cpp, which holds them all but the first, inlined
// here into next_record. Nothing outside the reader sees them.
#pragma once

#include <cstdint>
#include <cstdio>

#include "points/eight_digits.h"
#include "points/delimiters.h"
#include "points/number_scan.h"
#include "points/point_writer.h"

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

// The reader reads its input in blocks of this size.
constexpr int input_block_size = 1 << 20;
// How far past the end of the data the reader may read: its fast paths read
// whole words and windows from any position up to the end of the data (where
// a 0 byte always stands), so a block buffer needs this many bytes after its
// data. record_reader.cpp checks it against the furthest read of each path.
constexpr int reader_look_ahead = 78;
// The padding of the reader's own block: the look-ahead, rounded up.
constexpr int input_block_padding = 128;
static_assert(input_block_padding >= reader_look_ahead, "the block must hold the reader's look-ahead");

// Where the digits of a number lie in a record's text, as a fast path found
// them: an optional sign, integer digits, an optional point and decimals.
struct number_shape {
  int b;         // first digit (or the point), after the sign
  int d;         // the point, or the end of the number if it has none
  int whole;     // integer digits, at most 16
  int decimals;  // digits after the point, at most 8
  bool negative;
};

// The decimal form of a number of known shape in text `s`. Its digits are
// read 8 at a time; the text around them is readable (the block's padding).
inline decimal_number shape_decimal(const char* s, const number_shape& t) {
  uint64_t m = 0;
  if (t.whole > 8) {
    m = digits_value(load8(s + t.b), 8) * powers_of_ten[t.whole - 8] + digits_value(load8(s + t.b + 8), t.whole - 8);
  } else if (t.whole != 0) {
    m = digits_value(load8(s + t.b), t.whole);
  }
  if (t.decimals != 0) m = m * powers_of_ten[t.decimals] + digits_value(load8(s + t.d + 1), t.decimals);
  return {t.negative, m, -t.decimals};
}

// One record, as the last call of record_reader::next_record left it. Its
// numbers are converted when asked for; it is valid until the next call.
class record_view {
 public:
  double x() const { return value(0); }
  double y() const { return value(1); }
  double z() const { return value(2); }
  point_record point() const { return {x(), y(), z()}; }

  // Writes the record as "%lf %lf %lf" and CR LF. False if a write failed.
  bool write_to(point_writer& w) const;

 private:
  friend struct reader_tiers;
  friend class record_reader;
  double value(int i) const {
    if (text_ == nullptr) return values_[i];
    // A known shape's digits and exponent always suit the exact step.
    return exact_fraction(shape_decimal(text_, shapes_[i]));
  }
  const char* text_ = nullptr;            // the record's text, when its shape is known
  const number_shape* shapes_ = nullptr;  // then the shapes of its three numbers
  bool copyable_ = false;                 // then: its numbers print as their own digits
  double values_[3] = {};                 // otherwise the three values
};

class record_reader {
 public:
  // Starts a pass over `file` from its beginning, with the reader's own
  // block (one reader at a time uses it), and skips a header line if the
  // data begins with one.
  explicit record_reader(FILE* file);

  // The same with a block of the caller's: `block` holds block_size +
  // reader_look_ahead bytes. `general_only` reads every record with the
  // general scanner alone (for checking the fast paths against it).
  record_reader(FILE* file, char* block, int block_size, bool general_only = false);

  record_reader(const record_reader&) = delete;
  record_reader& operator=(const record_reader&) = delete;

  // Reads the next record into `record`.
  read_status next_record(record_view& record) {
    // Tier 1 (see record_reader.cpp) stands here so that it is inlined into
    // the passes' loops: a call for every record costs them a tenth of their
    // time. A record laid out like the one before it matches that layout's
    // pattern, which checks every character of it. A 0 byte, the one at the
    // end of the data included, never stands in a pattern, so a record that
    // matches lies wholly in the data.
    const layout& l = layout_;
    const char* s = pos_;
    if (l.known && (l.end < 32 ? matches_pattern<2>(s, l.pattern, l.range) : matches_pattern<4>(s, l.pattern, l.range))) {
      return take_text(record, s);
    }
    return next_other(record);
  }

  int64_t records() const { return records_; }      // complete records read so far
  int64_t offset() const { return consumed_ + (pos_ - buf_); }  // cleaned bytes consumed
  int read_errno() const { return read_errno_; }    // errno of a failed read, or 0
  const data_stop& stop() const { return stop_; }   // after not_a_number or cut_short
  int64_t header_line() const { return header_line_; }  // the skipped header's line, or 0
  const char* header_text() const { return header_text_; }

 private:
  friend struct reader_tiers;

  // The layout of the last record read by its masks. Survey files repeat one
  // layout line after line; a record that matches it needs no more checking.
  struct layout {
    bool known;
    uint64_t range;    // bits up to and including the record's last delimiter
    char pattern[64];  // the record's text up to there, digits read as '0'
    number_shape shape[3];
    int end;           // offset of the delimiter after the third number
    bool copyable;     // every number prints under "%lf" as its own digits
  };

  FILE* file_;
  char* buf_;        // the block; *end_ is always a 0, and the padding follows
  int block_size_;
  bool general_only_;
  char* pos_;        // next byte to read
  char* end_;        // end of the data in buf_
  bool eof_ = false;  // nothing more will be read from the file
  int read_errno_ = 0;
  int64_t consumed_ = 0;  // cleaned bytes before buf_
  int64_t records_ = 0;
  int64_t header_line_ = 0;
  char header_text_[48] = "";
  data_stop stop_{};
  layout layout_{};

  // Takes the record at `s` as laid out like layout_.
  read_status take_text(record_view& v, const char* s) {
    v.text_ = s;
    v.shapes_ = layout_.shape;
    v.copyable_ = layout_.copyable;
    pos_ = const_cast<char*>(s + layout_.end);
    ++records_;
    return read_status::record;
  }
  // Tiers 2 to 4.
  read_status next_other(record_view& record);
};
