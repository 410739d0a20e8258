// Reading point files: numbers separated by whitespace, taken three at a time
// as the X, Y and Z of a record.
//
// A pass streams the input from its beginning through one fixed block. A
// UTF-8 byte-order mark at the very start is skipped (UTF-16 text with its
// mark is read as UTF-8, see text_input.h). A carriage return
// followed by a line feed is removed; one not followed by a line feed ends a
// line as a line feed does. A byte 0x1A ends the data. Line structure does
// not decide the records: any whitespace separates numbers. A first line
// whose first character cannot begin a number (a column header such as
// "X Y Z") is skipped. Any later text that is not a number, or a last
// record with fewer than three numbers, stops the pass; the reader then
// tells where. The reader also notes the first line that holds more than
// three numbers but not a multiple of three, since the points after it are
// then shifted.
//
//   record_reader r(file);
//   while (r.next_record() == read_status::record) {
//     const record_view& v = r.record();
//     use(v.x(), v.y(), v.z());
//   }
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
#include "points/quoted_text.h"
#include "points/text_input.h"

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
  char text[quoted_text_size];  // the offending text from the character where reading failed, as
                                // quoted_text.h quotes it
};

// The first line holding a count of numbers that is more than three and not
// a multiple of three (4, 5, 7, 8, ...): from there on the points are read
// shifted against the lines.
struct shifted_line {
  int64_t line;     // from 1, or 0 if no line did so
  int64_t numbers;  // how many numbers it holds
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
  int whole;     // integer digits, at most 16 (two 8-byte loads)
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

// The record the last call of record_reader::next_record read. Its numbers
// are converted when asked for; it changes with the next call.
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
  // Only text_ changes with each record of a known layout: the reader sets
  // the shapes when it learns the layout.
  const char* text_ = nullptr;  // the record's text, when its shape is known
  number_shape shapes_[3] = {};  // then the shapes of its three numbers
  bool copyable_ = false;       // then: its numbers print as their own digits
  double values_[3] = {};       // otherwise the three values
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

  // Reads the next record; record() then gives it.
  read_status next_record() {
    // Tier 1 (see record_reader.cpp) stands here so that it is inlined into
    // the passes' loops: a call for every record costs them a tenth of their
    // time. A record laid out like the one before it matches that layout's
    // pattern, which checks every character of it. A 0 byte, the one at the
    // end of the data included, never stands in a pattern, so a record that
    // matches lies wholly in the data.
    const layout& l = layout_;
    const char* s = pos_;
    if (l.known && (l.end < 32 ? matches_pattern<2>(s, l.pattern, l.range) : matches_pattern<4>(s, l.pattern, l.range))) {
      // A record of a whole-line layout follows one of the same layout, so
      // the line it ends held three numbers, and so will its own.
      if (!l.whole_line) count_line_numbers(l, s);
      return take_text(s);
    }
    return next_other();
  }

  // The record the last next_record read, if it gave read_status::record.
  const record_view& record() const { return view_; }

  int64_t records() const { return records_; }      // complete records read so far
  int64_t offset() const { return consumed_ + (pos_ - buf_); }  // cleaned bytes consumed
  int read_errno() const { return read_errno_; }    // errno of a failed read, or 0
  const data_stop& stop() const { return stop_; }   // after not_a_number or cut_short
  int64_t header_line() const { return header_line_; }  // the skipped header's line, or 0
  const char* header_text() const { return header_text_; }
  // Once the pass is over (any status but record): the first line whose
  // count of numbers shifts the points, if any.
  const shifted_line& shifted() const { return shifted_; }
  // Once the pass is over: the line where a 0x1A byte ended the data that
  // the pass read to their end, when anything but blanks follows it (and
  // so is not read); else 0.
  int64_t control_z_line() const { return control_z_line_; }

 private:
  friend struct reader_tiers;

  // The layout of the last record read by its masks (the shapes of its
  // numbers are in view_). Survey files repeat one layout line after line;
  // a record that matches it needs no more checking.
  struct layout {
    bool known;
    uint64_t range;    // bits up to and including the record's last delimiter
    char pattern[64];  // the record's text up to there, digits read as '0'
    int end;           // offset of the delimiter after the third number
    // The line ends among the record's text: before its first, second or
    // third number (gaps 0, 1 and 2).
    int first_gap;     // the first gap holding a line end, or 3 if none does
    int first_end;     // then the offset of its first line end
    int tail;          // then the numbers after the last line end (1 to 3)
    bool whole_line;   // a line end before the first number only: the record is a line
  };

  text_input in_;   // the file, as text (see text_input.h)
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
  char header_text_[quoted_text_size] = "";
  data_stop stop_{};
  layout layout_{};
  record_view view_;
  bool ended_ = false;             // the pass is over
  int64_t line_numbers_ = 0;       // numbers on the current line so far
  int64_t shifted_end_ = -1;       // cleaned offset of the end of the line for shifted_, or -1
  shifted_line shifted_{0, 0};
  int64_t control_z_ = -1;      // cleaned offset of a 0x1A with text after it, or -1
  int64_t control_z_line_ = 0;  // its line, once the pass read up to it

  // Counts the numbers of a record laid out like `l` at `s` on their lines.
  void count_line_numbers(const layout& l, const char* s) {
    if (l.first_gap == 3) {
      line_numbers_ += 3;
      return;
    }
    int64_t count = line_numbers_ + l.first_gap;
    line_numbers_ = l.tail;
    if (count > 3 && count % 3 != 0) line_ended(count, consumed_ + (s - buf_) + l.first_end);
  }
  // Notes a line that ended at cleaned offset `end` holding `count` numbers.
  void line_ended(int64_t count, int64_t end);

  // Takes the record at `s` as laid out like layout_.
  read_status take_text(const char* s) {
    view_.text_ = s;
    pos_ = const_cast<char*>(s + layout_.end);
    ++records_;
    return read_status::record;
  }
  // Tiers 2 to 4.
  read_status next_other();
};
