// Reading point files.
//
// A pass streams the input from its beginning through one fixed block. A
// UTF-8 byte-order mark at the very start is skipped (UTF-16 text with its
// mark is read as UTF-8, see text_input.h). A carriage return
// followed by a line feed is removed; one not followed by a line feed ends a
// line as a line feed does. A byte 0x1A ends the data.
//
// The layout of the points is decided once, from the first data line (the
// first line that is not blank, not a comment and not the header), and the
// whole pass reads by it. In the free and line layouts a number ends where
// the number grammar (number_scan.h) ends it, and the next begins after any
// whitespace or at once: `-91.13-100000.13` is two numbers, `7.5.5` is 7.5
// and .5, and fixed-width columns whose values fill their fields are read.
//   free       the first data line holds 1 or 2 numbers: numbers taken
//              three at a time across lines;
//   line       it begins with 3 numbers: each line is one point, X, Y and Z
//              its first three numbers, whatever follows the third (at once
//              or after blanks) its extra columns, whitespace-separated
//              (`1 2 3abc` is X, Y, Z and the column `abc`); the columns of
//              the first data line are its three numbers and those columns;
//   delimited  cut at each ',' (or each ';', or each '|') it gives 3 or
//              more fields, each a number once the blanks around it and
//              one pair of double quotes are taken off: each line is one
//              point, as above.
// In the line and delimited layouts an exponent may be marked by d or D as
// by e or E (Fortran's `6.36295330D+05`); the free layout takes e alone.
// After a header, a first column that the header leaves unnamed (`,x,y,z`),
// or a header naming one column fewer than the first data line holds when
// that line's first field is a quoted text, holds row
// names: X, Y and Z are the three columns after it, and the row name is
// written as the first extra column (`"1" 636000 848000 400`).
// After a header whose names (header_columns.h: cut as the first data
// line is, at the ',' or ';' both hold or at blanks) put X, Y and Z
// elsewhere than the first three columns in order, and a first data line
// that holds those columns, the layout is by names (file_layout::by_names):
// X, Y and Z are read from those columns, each a whole field holding a
// number or nan within the blanks and one pair of double quotes around it,
// and every other column is an extra column, in the file's order; a line
// without those columns is a short line. Names one short of a first data
// line whose first field is quoted are those of its last columns, and X, Y
// and Z right after a first column of row names make the layout with row
// names above. A header naming one of X and Y alone: no point is read
// (file_layout::unnamed_axis).
// A first data line holding one whole number and followed by a line of a
// point is a count of points: it is skipped and noted. Nodata (number_scan.h:
// `nan`, `inf`, `infinity` in any case, `1.#INF`, `1.#QNAN`, `1.#IND`, with
// or without a sign) counts as a number in deciding; in the line layout
// only as a field of its own, first on its line or after a blank, and up to
// a blank or the line's end (`5inf` is no nodata).
//
// The header is the first line that is neither blank nor a comment, when
// its first character cannot begin a number, or the first header line: any
// line before the first data line that holds a word (decide_line in
// layout_decision.h: a date, or a word among its first three fields when it
// does not begin with three numbers) is a header line, skipped and counted
// (more_headers); header lines and no data line: the second is read as
// points, and stops the reading. The header is quoted whole. Comment lines
// (first non-blank characters #, //, % or >) and lines equal to the header
// are skipped wherever they stand, and counted; among the points, after a
// UTF-8 byte-order mark too (files joined with cat). In the line and delimited
// layouts a line whose X, Y or Z is nodata is skipped and counted; a line with
// fewer than three numbers, or with text that is not a number where one of
// its first three numbers (fields, in the delimited layout) should begin,
// stops the pass there. In the free layout any text that is not a number,
// or a last record with fewer than three numbers, stops it. The reader then
// tells where, and quotes the text from where reading failed: where the
// number (or the field) that could not be read begins, or, in the delimited
// layout, what follows a number in its field. A stop at a decimal comma
// (digits, a comma and digits, and no point: `421,3`) is told apart: the
// whole file is then in a form the reader does not read.
//
//   record_reader r(file);
//   while (r.next_record() == read_status::record) {
//     const record_view& v = r.record();
//     use(v.x(), v.y(), v.z());
//   }
//
// How a record is read (several tiers that only decline to each other) is
// told in record_reader.cpp. Tier 1 is inlined here (read_same_layout); the
// rest of the reading lies in rooms of one job each, which nothing outside
// the reader sees:
//   reader_block.h         the block: buffer, refill, cleaning of CR and
//                          0x1A, byte-order mark, offsets, the seek
//                          (input_seek.h), the line of an offset (locate)
//   layout_decision.h      what a line before the points is, and the layout
//                          a data line shows: a pure function of its text
//   reader_fast_tiers.cpp  tiers 2 and 3; every limit in reader_limits.h
//   reader_keyed_tier.h    the survey's keyed runs (read_run), at the
//                          processor level of cpu_level.h
//   reader_general.cpp     tier 4, the general scanner, and the stops
//   record_text.cpp        a record's output text (record_view::write_to)
//   reader_tiers.h         the entries of tiers 2 to 4, which see of the
//                          reader only its tier_context (below)
// and record_reader.cpp ties them: it drives the layout decision line by
// line, hands a record from tier to tier, and takes and resumes places.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "points/eight_digits.h"
#include "points/keyed_run.h"
#include "points/delimiters.h"
#include "points/number_scan.h"
#include "points/point_writer.h"
#include "points/quoted_text.h"
#include "points/reader_block.h"

namespace tessera {

enum class read_status {
  record,        // a complete record was read
  end_of_data,   // the data ended before the first number of a record
  not_a_number,  // text that is not a number stopped the reading
  cut_short,     // the data ended inside a record (free layout)
  short_line,    // a line held fewer than three numbers (line and delimited layouts)
  line_too_long, // a line's text after its X, Y and Z passed line_text_max (line and delimited layouts)
  read_error,    // the file could not be read
};

// The most text a line may hold after its X, Y and Z, copied whole when it
// does not lie in the block: far more than any point line holds (extra
// columns are a few values), and so memory stays bounded whatever the
// lines. The layout decision sees a first data line or a header up to as
// many bytes. A longer line stops the reading there, as text that is not a
// point does.
constexpr size_t mebibyte = size_t(1) << 20;
constexpr size_t line_text_max = 1 * mebibyte;

// Where and why a pass stopped before the end of the data.
struct data_stop {
  int64_t line;    // line of the offending text, from 1
  int64_t record;  // the record that could not be read, from 1
  char text[quoted_text_size];  // the offending text from the character where reading failed, as
                                // quoted_text.h quotes it
  int numbers;     // after short_line: how many numbers the line holds
  // After not_a_number: the reading stopped at a decimal comma
  // (is_decimal_comma in layout_decision.h), so the file is written in a
  // form the reader does not read.
  bool decimal_comma;
};

enum class point_layout { free, line, delimited };

// How the points of a file are laid out, as its first data line shows.
struct file_layout {
  point_layout kind;
  char separator;       // the delimited layout's ',', ';' or '|'
  int columns;          // line and delimited layouts: the columns of the first data line
  int64_t count_line;   // the line of a point count before the points, or 0
  int64_t count_value;  // then the count it gives
  // Line and delimited layouts: the first column holds row names (the
  // header names it with nothing, or names one column fewer than the first
  // data line holds): X, Y and Z are the next three, and the row name is
  // the first extra column. The columns count it.
  bool row_names = false;
  // Line and delimited layouts: the header's names put X, Y and Z in the
  // columns `xyz` (from 0), read as whole fields; every other column is an
  // extra column, in the file's order. The columns count them all.
  bool by_names = false;
  int xyz[3] = {0, 1, 2};
  // 'X' when the header names Y but no X, 'Y' when it names X but no Y: no
  // point can be read, and none is.
  char unnamed_axis = 0;
};

// Lines a pass skipped of one kind: how many, and the first one's line.
struct line_tally {
  int64_t count;
  int64_t first_line;  // from 1, or 0 if none
};

// A place between two records where a pass can be resumed, and what the
// reader knew there. The place is told by the block that holds it, which
// begins at a known byte of the file (blocks lie end to end from the start
// of the data, in every pass over the same file), and the place's index
// in that block's cleaned bytes: cleaning a block (carriage returns, a
// 0x1A) depends only on its bytes and the byte after them, so reading the
// same block again gives the same index for the same place.
struct reader_position {
  int64_t block_at;     // the file byte where the block begins
  int64_t consumed;     // cleaned bytes before the block
  int64_t records;      // records read before the place
  int64_t skipped;      // comment lines and repeated headers skipped before it
  int64_t nodata;       // lines skipped for nodata (a nan, an inf) before it
  int32_t in_block;     // the place in the block's cleaned bytes
  bool line_start;      // free layout: the place begins a line as far as the reader knows
};

// Where the digits of a number lie in a record's text, as a fast path found
// them: an optional sign, integer digits, an optional point and decimals.
struct number_shape {
  int first_digit;  // the first digit (or the point), after the sign
  int point;        // the point, or the end of the number if it has none
  int whole;        // integer digits, at most 16 (two 8-byte loads)
  int decimals;     // digits after the point, at most 8
  bool negative;
};

// The decimal form of a number of known shape in text `s`. Its digits are
// read 8 at a time; the text around them is readable (the block's padding).
inline decimal_number shape_decimal(const char* s, const number_shape& t) {
  uint64_t m = 0;
  if (t.whole > 8) {
    m = digits_value(load8(s + t.first_digit), 8) * powers_of_ten[t.whole - 8] + digits_value(load8(s + t.first_digit + 8), t.whole - 8);
  } else if (t.whole != 0) {
    m = digits_value(load8(s + t.first_digit), t.whole);
  }
  if (t.decimals != 0) m = m * powers_of_ten[t.decimals] + digits_value(load8(s + t.point + 1), t.decimals);
  return {t.negative, m, -t.decimals};
}

// The parts of a record as the tier that read it leaves them, for
// record_view. Only `text` changes with each record of a known layout: the
// reader sets the shapes when it learns the layout.
struct record_parts {
  const char* text = nullptr;   // the record's text, when its shape is known
  number_shape shapes[3] = {};  // then the shapes of its three numbers
  bool copyable = false;        // then: its numbers print as their own digits
  double values[3] = {};        // otherwise the three values
  // The text after the third number on its line (after the separator that
  // follows it, in the delimited layout), as read: the extra columns.
  const char* extras = nullptr;
  size_t extras_size = 0;
  char separator = 0;  // the delimited layout's separator, or 0
};

// The record the last call of record_reader::next_record read. Its numbers
// are converted when asked for; it changes with the next call.
class record_view {
 public:
  double x() const { return value(0); }
  double y() const { return value(1); }
  double z() const { return value(2); }
  point_record point() const { return {x(), y(), z()}; }

  // Writes the record as "%lf %lf %lf", its extra columns each after a
  // single blank, and CR LF. False if a write failed. (record_text.cpp)
  bool write_to(point_writer& w) const;

 private:
  friend class record_reader;  // the reader fills the parts of the record it gives
  double value(int i) const {
    if (parts_.text == nullptr) return parts_.values[i];
    // A known shape's digits and exponent always suit the exact step.
    return exact_fraction(shape_decimal(parts_.text, parts_.shapes[i]));
  }
  record_parts parts_;
};

// What a pass counts as it reads: the records, the lines it skipped, the
// decimals typed. A place a pass is resumed at (reader_position) carries
// the counts and where a line begins.
struct pass_tallies {
  int64_t records = 0;
  line_tally skipped{0, 0};  // comment lines and repeated headers
  line_tally nodata{0, 0};   // lines skipped for nodata (a nan, an inf)
  int64_t skipped_at = -1;   // cleaned offsets of the first skipped lines, placed on
  int64_t nodata_at = -1;    // their lines when the pass ends
  int64_t line_start = 0;    // free layout: a cleaned offset known to begin a line
  int64_t max_decimals = 0;  // see record_reader::max_decimals(); tier 1 reads the decimals tier 2 noted

  // Notes the decimals typed in a number of X, Y or Z.
  void note_decimals(int64_t decimals) {
    if (decimals > max_decimals) max_decimals = decimals;
  }
  // Counts a comment line or the header again, which begins at cleaned
  // offset `at`.
  void count_skipped(int64_t at) {
    if (skipped.count++ == 0) skipped_at = at;
  }
  // Counts a line skipped for nodata, which begins at cleaned offset `at`.
  void count_nodata(int64_t at) {
    if (nodata.count++ == 0) nodata_at = at;
  }
};

// The layout of the last record read by its masks (tier 2; the shapes of
// its numbers are in the record's parts). Survey files repeat one layout
// line after line; a record that matches it needs no more checking (tier 1).
struct record_shape {
  bool known;
  uint64_t range;    // bits up to and including the record's last delimiter
  char pattern[64];  // the record's text up to there, digits read as '0'
  int end;           // where the record ends: the delimiter after the third number, or
                     // past it when that delimiter is the line's end
  bool rest;         // line layouts: the line goes on after the third number's delimiter
};

// A layout by the header's names, as its fast tier learnt it from a line
// (record_shape holds its pattern): the places of the columns before the
// last of X, Y and Z that are none of them, at most this many.
constexpr int learnt_columns_max = 8;
struct learnt_columns {
  int count = 0;
  int at[learnt_columns_max] = {};
  int end[learnt_columns_max] = {};
};

// What the general scanner (tier 4) keeps from record to record.
struct general_state {
  std::string header;  // the header line, for finding it repeated
  std::string extras;  // the copy of a line's extra columns
  std::string taken;   // the characters a line's comparison with the header took
  std::string row;     // a line's row name, in a layout with row names
  std::string line;    // a line's text, in a layout by the header's names
  learnt_columns columns;  // then the other columns its fast tier learnt
};

// How a pass ended, once it has.
struct pass_end {
  bool ended = false;          // the pass is over
  data_stop stop{};            // where and why it stopped before the end of the data
  int64_t control_z_line = 0;  // the line of a 0x1A the pass read up to, with text after it
};

// The pieces of the reader that tiers 2 to 4 read a record with, and where
// they leave it (reader_tiers.h): nothing else of the reader is theirs.
struct tier_context {
  reader_block& block;        // the input, and where the reader stands in it
  const file_layout& layout;  // the layout decided, with its separator
  pass_tallies& tally;        // records read, lines skipped, decimals typed
  record_parts& record;       // the record read, as record_view gives it
};

class record_reader {
 public:
  // Starts a pass over `file` from its beginning, with the reader's own
  // block (one reader at a time uses it): decides the layout, and skips
  // the lines before the first data line.
  explicit record_reader(FILE* file);

  // The same with a block of the caller's: `block` holds block_size +
  // reader_look_ahead bytes. `general_only` reads every record with the
  // general scanner alone (for checking the fast paths against it).
  record_reader(FILE* file, char* block, int block_size, bool general_only = false);

  record_reader(const record_reader&) = delete;
  record_reader& operator=(const record_reader&) = delete;

  // Reads the next record; record() then gives it.
  read_status next_record() { return read_same_layout() ? read_status::record : next_other(); }
  // For the survey: reads at once the records from here on that are laid
  // out like the last one tier 2 learnt, at most `limit`, into `run`: their
  // count and the least and greatest of their X, Y and Z (the keyed tier,
  // reader_keyed_tier.h). No record if the next one is not laid out so, or
  // if the keyed tier does not run here; next_record then reads it.
  // record() is not set by it.
  bool keyed() const { return keyed_; }  // whether read_run can read anything in this pass
  void read_run(int64_t limit, keyed_bounds& run) {
    run.records = 0;
    if (keyed_ && layout_.known && (plan_stale_ || plan_.usable)) read_keyed_run(limit, run);
  }

  // The record the last next_record read, if it gave read_status::record.
  const record_view& record() const { return view_; }

  int64_t records() const { return tally_.records; }    // complete records read so far
  int64_t offset() const { return block_.offset(); }     // cleaned bytes consumed
  int read_errno() const { return block_.read_errno(); }  // errno of a failed read, or 0
  const data_stop& stop() const { return end_.stop; }    // after not_a_number or cut_short
  int64_t header_line() const { return header_line_; }  // the skipped header's line, or 0
  // The header lines after the first, before the first data line, and the
  // first one's line, or 0.
  int64_t more_headers() const { return more_headers_; }
  int64_t more_header_line() const { return more_header_line_; }
  const char* header_text() const { return header_text_; }
  const file_layout& layout() const { return file_layout_; }
  // Once the pass is over (any status but record): the comment lines and
  // repeated headers skipped, and the lines skipped for a nan. (Their
  // counts so far are right at any time; the first lines only then.)
  const line_tally& skipped() const { return tally_.skipped; }
  const line_tally& nodata() const { return tally_.nodata; }

  // The size of the reader's block: places taken by one reader can be
  // resumed by another with blocks of the same size.
  int block_size() const { return block_.size(); }
  // Where the reader stands, between two records (before the first, or
  // after a record read).
  reader_position position() const;
  // Moves the reader to a place another pass over the same file took by
  // position(), further on, as if it had read every record up to there:
  // within the block it holds, or by reading the place's block from the
  // file. If the file cannot be read there, the next record says so.
  void resume(const reader_position& p);
  // Whether places can be resumed: the file is read as its bytes (UTF-16
  // text is decoded as it is read, so a place in the text is no byte of
  // the file).
  bool resumable() const { return block_.resumable(); }
  // Once the pass is over: the line where a 0x1A byte ended the data that
  // the pass read to their end, when anything but blanks follows it (and
  // so is not read); else 0.
  int64_t control_z_line() const { return end_.control_z_line; }
  // The most decimals typed in an X, Y or Z read so far (typed_decimals in
  // number_scan.h), or 0: a line skipped for a nan, and the numbers read of
  // a record where the data stop, count too.
  int64_t max_decimals() const { return tally_.max_decimals; }
  // The line of the first 0 byte in the lines before the first data line
  // (the header, comments, a count of points), as far as the layout
  // decision reads each (decide_line_max bytes), or 0.
  int64_t zero_byte_line() const { return zero_byte_line_; }

 private:
  reader_block block_;  // the input and where the pass stands in it
  bool general_only_;
  bool keyed_;  // the keyed tier runs at the processor level in use, and not for general_only
  bool numeric_header_ = false;  // the header begins as a number does (see next_other)
  record_shape layout_{};  // tier 1's layout, as tier 2 learnt it
  record_shape named_layout_{};  // a layout by names, as its fast tier learnt it
  detail::keyed_plan plan_{};  // the keyed tier's plan of layout_, made when a run is first asked for
  bool plan_stale_ = true;     // layout_ was learnt since plan_ was made
  record_view view_;
  pass_tallies tally_;
  file_layout file_layout_{point_layout::free, 0, 0, 0, 0};
  general_state general_;
  int64_t header_line_ = 0;
  int64_t more_headers_ = 0;
  int64_t more_header_line_ = 0;
  int64_t zero_byte_line_ = 0;
  char header_text_[quoted_text_size] = "";
  pass_end end_;
  tier_context tiers_{block_, file_layout_, tally_, view_.parts_};  // what tiers 2 to 4 see

  // Tier 1 (see record_reader.cpp), true if it took the record. It stands
  // here so that it is inlined into the passes' loops: a call for every
  // record costs them a tenth of their time. A record laid out like the one
  // before it matches that layout's pattern, which checks every character
  // of it. A 0 byte, the one at the end of the data included, never stands
  // in a pattern, so a record that matches lies wholly in the data.
  bool read_same_layout() {
    const record_shape& l = layout_;
    const char* s = block_.pos();
    if (!l.known || !(l.end < 32 ? matches_pattern<2>(s, l.pattern, l.range) : matches_pattern<4>(s, l.pattern, l.range))) {
      return false;
    }
    // A line whose third number ends it, or a record of the free layout,
    // ends where the pattern does; other lines go on to their end.
    if (!l.rest) {
      take_text(s);
      return true;
    }
    return take_line(s);
  }
  // Takes the record at `s` as laid out like layout_.
  void take_text(const char* s) {
    view_.parts_.text = s;
    view_.parts_.extras_size = 0;
    block_.move(s + layout_.end);
    ++tally_.records;
  }
  // The same for a line that goes on after its third number; false (with
  // nothing taken) if its end lies beyond the block. A whitespace line's
  // end is looked for first among the 32 bytes after the third number's
  // delimiter (within the look-ahead of any position in the data).
  bool take_line(const char* s) {
    const char* p = s + layout_.end;
    if (file_layout_.separator == 0) {
      uint64_t nl = byte_mask<2>(p, '\n');
      const char* e = p + (nl != 0 ? __builtin_ctzll(nl) : 32);
      if (nl != 0 && e < block_.end()) {
        view_.parts_.text = s;
        view_.parts_.extras = p;
        view_.parts_.extras_size = size_t(e - p);
        block_.move(e + 1);
        ++tally_.records;
        return true;
      }
    }
    return take_rest(s);
  }
  bool take_rest(const char* s);
  // read_run, once the layout is known and may be planned.
  void read_keyed_run(int64_t limit, keyed_bounds& run);
  // Tiers 2 to 4, once tier 1 declined.
  read_status next_other();
  // Reads the lines before the points and decides the layout from the
  // first data line; then stands at the first line to read as points.
  void decide_layout();
};

}  // namespace tessera
