// The record reader and its tiers.
//
// A record is read by the first of four tiers that takes it; a tier that
// meets anything outside its limits declines and hands the record, from its
// first byte, to the next tier. Every tier finds the same decimal form of
// each number (sign, digits, exponent) and decimal_to_double converts it, so
// a tier can decline but never read a number differently.
//
//   tier                 what it takes                          limits (reader_limits.h)
//   1 same layout        a record whose window matches the      tier 2's, as it learnt the layout
//   (read_same_layout,   layout of the record before it
//    inline)
//   2 layout from masks  a record wholly inside a 64-byte       15 digits, 8 of them decimals
//   (read_by_masks)      window, cut into its numbers from      (shape_digits_max,
//                        the masks of its delimiters            shape_decimals_max)
//   3 number by number   each number read 8 digits at a time    15 integer digits, 7 decimals,
//   (read_by_numbers)                                           19 digits in all (numbers_whole_max,
//                                                               numbers_decimals_max,
//                                                               numbers_digits_max)
//   4 general scanner    anything: scan_decimal, refilling      the grammar's 19 kept digits
//   (read_general)       the block as it goes (general_free;
//                        general_line a line at a time, with
//                        comments, headers and nan lines)
//
//   In the line and delimited layouts tiers 1 to 3 read the three numbers
//   of a line and find the rest of it in the block (line_rest, and inline
//   in record_reader::take_line); a line that goes on beyond the block, or
//   anything else they do not know, goes to the general scanner.
//
//   In the free and line layouts a number ends where the grammar ends it,
//   and the next may follow at once. Tiers 1 and 2 cut a record at its
//   whitespace and take only pieces that are each one whole number, so they
//   decline any touching numbers; tier 3 takes, in the line layout, a Y or Z
//   whose sign follows the number before it at once (the free layout's tier
//   3 reads number after number as it always did), and leaves any other
//   text right after a number (text after Z: extra columns) to the general
//   scanner.
//
//   and, when writing a record read by tier 1 or 2:
//   copy to output       the digits copied as "%lf" text        9 integer digits, 6 decimals
//                                                               (copy_whole_max, copy_decimals_max)
//
// Tiers 1 to 3 take no exponent and only numbers that lie wholly in the
// block; the general scanner takes everything else.
//
// Where each stands: tier 1 in record_reader.h (read_same_layout, take_text,
// take_line), tiers 2 and 3 in reader_fast_tiers.cpp, tier 4 and the stops
// in reader_general.cpp, the copy to output in record_text.cpp; every
// limit in reader_limits.h.
//
// The reader keeps the most decimals typed in an X, Y or Z (max_decimals):
// tier 2 notes those of the shapes it learns, which every record tier 1
// takes repeats; tiers 3 and 4 note each number's. How far each reads past
// its position is stated in reader_limits.h, checked against
// reader_look_ahead.
//
// This file ties the rooms (record_reader.h lists them): it starts a pass,
// drives the layout decision line by line, hands a record from tier to
// tier, and takes and resumes places.
#include "points/record_reader.h"

#include <string>

#include "points/cpu_level.h"
#include "points/layout_decision.h"
#include "points/reader_keyed_tier.h"
#include "points/reader_tiers.h"

namespace tessera {

namespace {

// The reader's own block; the passes run one at a time.
char input_block[input_block_size + input_block_padding];

// A line cut at decide_line_max is decided by its whole fields: the text
// after its last blank or separator, a field cut in two, is dropped.
void drop_cut_field(std::string& line) {
  const size_t last = line.find_last_of(" \t\v\f,;");
  line.resize(last == std::string::npos ? 0 : last);
}

// Reads the rest of the line from its first non-blank character (keeping
// at most decide_line_max bytes) and moves past its line feed. Returns
// the offset of that character.
int64_t read_line(reader_block& b, std::string& line) {
  line.clear();
  while (is_blank(b.peek())) b.bump();
  int64_t at = b.offset();
  bool cut = false;
  for (int c; (c = b.peek()) >= 0; b.bump()) {
    if (c == '\n') {
      b.bump();
      break;
    }
    if (line.size() < decide_line_max) {
      line += char(c);
    } else {
      cut = true;
    }
  }
  if (cut) drop_cut_field(line);
  return at;
}

// Quotes a header line whole into `out`, a tab shown as a blank.
void quote_whole(std::string_view t, char (&out)[quoted_text_size]) {
  quoted_text text{out};
  for (size_t i = 0; i < t.size() && text.add(is_blank(static_cast<unsigned char>(t[i])) ? ' ' : static_cast<unsigned char>(t[i])); ++i) {
  }
  text.add(-1);
}

// What the lines before the points told, as the decision reads them.
struct lines_read {
  int64_t line_no = 0;
  bool seen_line = false;    // a line neither blank nor a comment came
  int64_t count_start = -1;  // where a possible count of points begins
  int64_t after_count = 0;   // then where the line after it begins
  int64_t count_line = 0;
  int64_t count_value = 0;
  int64_t data_start = -1;   // where the first line to read as points begins
  int64_t more_start = -1;   // where the second header line begins
  file_layout more_layout{point_layout::free, 0, 0, 0, 0};  // and the layout it shows
  file_layout layout{point_layout::free, 0, 0, 0, 0};

  // After the lines before the points, ending at `end`: where the first
  // line to read as points begins. Header lines and no data line after
  // them: the second header line is read as points, and stops the reading,
  // rather than a file of words giving no point and no stop (the header
  // lines after the first, `more` from line `more_line`, are then none). A
  // header naming only one of X and Y: no point is read.
  void settle(int64_t end, int64_t& more, int64_t& more_line) {
    if (data_start < 0 && count_start < 0 && more != 0) {
      layout = more_layout;
      data_start = more_start;
      more = 0;
      more_line = 0;
    }
    if (data_start < 0) data_start = count_start >= 0 ? count_start : end;
    if (layout.unnamed_axis != 0) data_start = INT64_MAX;
  }

  // The first data line, at `start`, shows `l`: after a count of points,
  // the points begin after it unless the layout is free (the count is
  // then read as the first number).
  void data_line(int64_t start, const file_layout& l) {
    layout = l;
    data_start = start;
    if (count_start < 0) return;
    if (layout.kind == point_layout::free) {
      data_start = count_start;
    } else {
      data_start = after_count;
      layout.count_line = count_line;
      layout.count_value = count_value;
    }
  }
};

}  // namespace

record_reader::record_reader(FILE* file) : record_reader(file, input_block, input_block_size) {}

record_reader::record_reader(FILE* file, char* block, int block_size, bool general_only)
    : block_(file, block, block_size),
      general_only_(general_only),
      keyed_(!general_only && detail::cpu_level_in_use() != detail::cpu_level::none) {
  decide_layout();
}

void record_reader::decide_layout() {
  std::string line;
  lines_read w;
  while (block_.peek() >= 0) {
    const int64_t start = block_.offset();
    ++w.line_no;
    const int64_t at = read_line(block_, line);
    const line_decision d = decide_line(line, {general_.header, w.seen_line, w.count_start >= 0});
    if (d.kind != line_kind::data && zero_byte_line_ == 0 && line.find('\0') != std::string::npos) {
      zero_byte_line_ = w.line_no;
    }
    if (d.kind == line_kind::blank) continue;
    if (d.kind == line_kind::comment || d.kind == line_kind::header_again) {
      if (w.count_start < 0) tally_.count_skipped(at);
      continue;
    }
    w.seen_line = true;
    if (d.kind == line_kind::data) {
      w.data_line(start, d.layout);
      break;
    }
    if (d.kind == line_kind::header && header_line_ != 0) {
      // A header line after the first (a units line, say): skipped and counted.
      if (more_headers_++ == 0) {
        more_header_line_ = w.line_no;
        w.more_start = start;
        w.more_layout = layout_of(d.text);
      }
    } else if (d.kind == line_kind::header) {
      header_line_ = w.line_no;
      general_.header = d.text;
      quote_whole(d.text, header_text_);
    } else {  // a count of points, perhaps
      w.count_start = start;
      w.after_count = block_.offset();
      w.count_line = w.line_no;
      w.count_value = d.count;
    }
  }
  w.settle(block_.offset(), more_headers_, more_header_line_);
  file_layout_ = w.layout;
  numeric_header_ = !general_.header.empty() && begins_number(static_cast<unsigned char>(general_.header[0]));
  view_.parts_.separator = w.layout.separator;
  // The pass starts again at the first line to read as points.
  block_.restart();
  block_.skip_to(w.data_start);
  tally_.line_start = block_.offset();
}

reader_position record_reader::position() const {
  return {block_.block_at(),    block_.consumed(),  tally_.records, tally_.skipped.count, tally_.nodata.count,
          block_.in_block(), tally_.line_start == offset()};
}

void record_reader::resume(const reader_position& p) {
  if (end_.ended) return;
  if (!block_.move_to(p.block_at, p.consumed, p.in_block)) return;
  tally_.records = p.records;
  tally_.skipped.count = p.skipped;
  tally_.nodata.count = p.nodata;
  tally_.line_start = p.line_start ? offset() : -1;
}

bool record_reader::take_rest(const char* s) {
  const char* next;
  if (!detail::line_rest(tiers_, s + layout_.end, next)) return false;
  view_.parts_.text = s;
  block_.move(next);
  ++tally_.records;
  return true;
}

void record_reader::read_keyed_run(int64_t limit, keyed_bounds& run) {
  const char* s = block_.pos();
  if (plan_stale_) {
    // A layout is planned once a record after the one it was learnt from
    // matches it: files whose widths change at every line learn often.
    const record_shape& l = layout_;
    if (!(l.end < 32 ? matches_pattern<2>(s, l.pattern, l.range) : matches_pattern<4>(s, l.pattern, l.range))) return;
    plan_ = detail::plan_keys(layout_, view_.parts_.shapes);
    plan_stale_ = false;
  }
  if (!plan_.usable) return;
  detail::read_keyed(s, layout_, plan_, limit, run);
  block_.move(s);
  tally_.records += run.records;
}

// Tier 1 is read_same_layout, in record_reader.h: a record laid out like the
// one before it matches that layout's pattern, which checks every character
// of it; anything else comes here, to tier 2, which learns its layout for
// tier 1 (the record is then taken as tier 1 takes it), then tier 3, then
// the general scanner.
read_status record_reader::next_other() {
  if (file_layout_.by_names) {
    if (!general_only_ && detail::read_by_columns(tiers_, general_, named_layout_)) return read_status::record;
    return detail::read_general(tiers_, general_, end_);
  }
  // Tiers 2 and 3 (and so tier 1) take a line that begins as a number for
  // a point: after a header that begins so too, which may come again, every
  // line is the general scanner's.
  if (!general_only_ && !numeric_header_) {
    switch (detail::read_by_masks(tiers_, layout_)) {
      case detail::fast_read::taken:
        return read_status::record;
      case detail::fast_read::learnt:
        plan_stale_ = true;
        if (!layout_.rest) {
          take_text(block_.pos());
          return read_status::record;
        }
        if (take_line(block_.pos()) || detail::read_by_numbers(tiers_)) return read_status::record;
        break;
      case detail::fast_read::declined:
        break;
    }
  }
  return detail::read_general(tiers_, general_, end_);
}

}  // namespace tessera
