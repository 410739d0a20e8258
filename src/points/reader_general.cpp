// Tier 4 of the record reader, the general scanner, and the stops.
//
// The general scanner reads anything the number grammar reads, with
// scan_decimal, refilling the block as it goes, so that a record may cross
// the end of a block: general_free takes numbers three at a time across
// lines; general_line a line at a time, X, Y and Z its first three numbers
// (fields, in the delimited layout) and the rest its extra columns. Both
// skip comment lines and the header again, and general_line blank lines and
// lines with nodata (a nan, an inf) among X, Y and Z, counting them. A row
// name before X is read as the line's first extra column.
//
// The stops: where the data end, the pass ends; where text that is not a
// number, a record cut short or a short line stops it, the stop notes the
// record, the line, and the text from where reading failed. A read error
// met on the way is told instead.
#include <cstring>
#include <string>

#include "points/layout_decision.h"
#include "points/quoted_text.h"
#include "points/reader_tiers.h"

namespace tessera::detail {

namespace {

// The stops.

// Ends the pass where it stands: places the first skipped lines on their
// lines; then nothing more is read.
void end_pass(tier_context& c, pass_end& e) {
  if (e.ended) return;
  e.ended = true;
  reader_block& b = c.block;
  const int64_t end = b.offset();
  const char sep = c.layout.separator;
  if (c.tally.skipped_at >= 0) c.tally.skipped.first_line = b.locate(c.tally.skipped_at, nullptr, sep);
  if (c.tally.nodata_at >= 0) c.tally.nodata.first_line = b.locate(c.tally.nodata_at, nullptr, sep);
  // The notice of a 0x1A belongs to a pass that read up to it.
  if (b.control_z() == end) e.control_z_line = b.locate(end, nullptr, sep);
  // The block may now hold other bytes.
  b.close();
}

// Records where the reading stopped and ends the pass there. `at` is the
// cleaned offset of the text where reading failed (or, for a record cut
// short, of its last number; for a short line, of the line).
// A stop with its text also tells whether it is a decimal comma.
void note_stop(tier_context& c, pass_end& e, int64_t at, bool with_text) {
  e.stop.record = c.tally.records + 1;
  e.stop.text[0] = 0;
  quoted_text text{e.stop.text};
  text_around around;
  const char sep = c.layout.separator;
  e.stop.line = c.block.locate(at, with_text ? &text : nullptr, sep, with_text ? &around : nullptr);
  e.stop.decimal_comma = with_text && is_decimal_comma(std::string_view(around.before, size_t(around.before_size)),
                                                       std::string_view(around.after, size_t(around.after_size)), sep);
  end_pass(c, e);
}

// Ends the pass at the end of the data.
read_status data_end(tier_context& c, pass_end& e) {
  if (c.block.read_errno() != 0) return read_status::read_error;
  end_pass(c, e);
  return read_status::end_of_data;
}

// Stops the pass at text that is not a number, at cleaned offset `at`.
read_status text_stop(tier_context& c, pass_end& e, int64_t at) {
  if (c.block.read_errno() != 0) return read_status::read_error;
  note_stop(c, e, at, true);
  return read_status::not_a_number;
}

// Stops the pass where the data end inside a record of the free layout:
// the record's last number, at `token`, tells the line.
read_status record_cut_short(tier_context& c, pass_end& e, int64_t token) {
  if (c.block.read_errno() != 0) return read_status::read_error;
  note_stop(c, e, token, false);
  return read_status::cut_short;
}

// Stops the pass at a line, at `line_at`, whose text after X, Y and Z is
// longer than line_text_max.
read_status long_line_stop(tier_context& c, pass_end& e, int64_t line_at) {
  if (c.block.read_errno() != 0) return read_status::read_error;
  note_stop(c, e, line_at, false);
  return read_status::line_too_long;
}

// Stops the pass at a line, at `line_at`, that holds only `numbers` numbers.
read_status short_line(tier_context& c, pass_end& e, int64_t line_at, int numbers) {
  if (c.block.read_errno() != 0) return read_status::read_error;
  e.stop.numbers = numbers;
  note_stop(c, e, line_at, false);
  return read_status::short_line;
}

// Lines that hold no record.

// Moves past the rest of the line and its line feed.
inline void skip_line(reader_block& b) {
  while (b.peek() >= 0) {
    const char* nl = static_cast<const char*>(std::memchr(b.pos(), '\n', size_t(b.end() - b.pos())));
    if (nl != nullptr) {
      b.move(nl + 1);
      return;
    }
    b.move(b.end());
  }
}

// The UTF-8 byte-order mark, as files joined with `cat` repeat it at the
// start of each file's first line.
constexpr char line_mark[] = "\xef\xbb\xbf";
constexpr size_t line_mark_size = sizeof line_mark - 1;

// The rest of a line that may be the header again, from its k-th
// character: moves past the line and says so if it is; the characters it
// took go on `taken`.
inline bool rest_is_header(reader_block& s, const std::string& h, size_t k, std::string& taken) {
  for (; k < h.size() && s.peek() == static_cast<unsigned char>(h[k]); ++k) {
    taken += h[k];
    s.bump();
  }
  if (k < h.size()) return false;
  int c;
  for (; is_blank(c = s.peek()); s.bump()) taken += char(c);
  if (c >= 0 && c != '\n') return false;
  if (c == '\n') s.bump();
  return true;
}

// At the first non-blank character of a line: moves past the line and
// says so if it is a comment or the header again, after a byte-order mark
// if one begins it. Otherwise the characters it took in comparing the line
// with the header (the mark too) are in `taken`, to be read again
// (replay_source).
inline bool skip_if_not_data(reader_block& s, const std::string& h, std::string& taken) {
  taken.clear();
  size_t mark = 0;
  while (mark < line_mark_size && s.peek() == static_cast<unsigned char>(line_mark[mark])) {
    taken += line_mark[mark++];
    s.bump();
  }
  // The first bytes of a mark and no more may begin the header itself.
  if (mark != 0 && mark != line_mark_size) return h.compare(0, mark, taken) == 0 && rest_is_header(s, h, mark, taken);
  const int c = s.peek();
  if (c == '#' || c == '%' || c == '>') {
    skip_line(s);
    return true;
  }
  size_t k = 0;
  if (c == '/') {
    s.bump();
    taken += '/';
    if (s.peek() == '/') {
      skip_line(s);
      return true;
    }
    k = 1;  // a header may begin with one '/'
  }
  if (h.empty() || c != static_cast<unsigned char>(h[0])) return false;
  return rest_is_header(s, h, k, taken);
}

// The characters a line comparison took, then the block again.
struct replay_source {
  const std::string& taken;
  size_t i;
  reader_block& s;
  int peek() { return i < taken.size() ? static_cast<unsigned char>(taken[i]) : s.peek(); }
  void bump() {
    if (i < taken.size()) {
      ++i;
    } else {
      s.bump();
    }
  }
  int64_t offset() const { return s.offset() - int64_t(taken.size() - i); }
};

// The fields of a line.

enum class field { number, nodata, absent, bad };

// Reads a number after its sign (`negative` if that was '-'), its exponent
// marked by e or d, or, if it may stand there (`nodata`), a nodata spelling
// (number_scan.h); notes a number's decimals.
inline field read_value(replay_source& s, pass_tallies& t, bool negative, bool nodata, double& value) {
  decimal_number d;
  const scanned_value k = scan_value(s, d, nodata);
  if (k == scanned_value::nodata) return field::nodata;
  if (k == scanned_value::bad || !decimal_to_double(d, value)) return field::bad;
  t.note_decimals(typed_decimals(d));
  if (negative) value = -value;
  return field::number;
}

// Reads X, Y or Z of a line of the line layout: a number as the grammar
// reads it, which ends where its syntax ends (the next number, or the
// extra columns, may follow at once); or, as a field of its own (first on
// the line or after a blank, `field_start`), a nodata spelling, ending at a
// blank or the end of the line. After `bad`, `at` is the offset of the text
// to quote: where the number (or the nodata field) that could not be read
// begins.
inline field read_number(replay_source& s, pass_tallies& t, bool field_start, double& value, int64_t& at) {
  at = s.offset();
  int c = s.peek();
  if (c < 0 || c == '\n') return field::absent;
  const bool negative = c == '-';
  if (c == '-' || c == '+') s.bump();
  const field k = read_value(s, t, negative, field_start, value);
  if (k != field::nodata) return k;
  c = s.peek();
  return c < 0 || is_space(c) ? field::nodata : field::bad;
}

// After the number (or nodata) of a field of the delimited layout: its closing
// quote if it began with one, then a blank, the separator or the end of the
// line. False otherwise, `at` then the offset of what follows.
inline bool field_ends(replay_source& s, char sep, bool quoted, int64_t& at) {
  if (quoted) {
    if (s.peek() != '"') {
      at = s.offset();
      return false;
    }
    s.bump();
  }
  const int c = s.peek();
  if (c < 0 || is_space(c) || (sep != 0 && c == sep)) return true;
  at = s.offset();
  return false;
}

// Reads one of the first three fields of a line of the delimited layout:
// within one pair of double quotes or none, an optional sign, then a
// number or a nodata spelling; the field ends at a blank, the separator or
// the end of the line. After `bad`, `at` is the offset of the text to
// quote: where the field begins, or where the number in it is followed by
// what cannot follow it.
inline field read_field(replay_source& s, pass_tallies& t, char sep, double& value, int64_t& at) {
  at = s.offset();
  int c = s.peek();
  if (c < 0 || c == '\n') return field::absent;
  if (sep != 0 && c == sep) return field::bad;  // an empty field
  const bool quoted = sep != 0 && c == '"';
  if (quoted) s.bump();
  c = s.peek();
  const bool negative = c == '-';
  if (c == '-' || c == '+') s.bump();
  const field k = read_value(s, t, negative, true, value);
  if (k == field::bad || !field_ends(s, sep, quoted, at)) return field::bad;
  return k;
}

// Moves from the end of X (or Y) to where the next of them begins: past
// blanks (`field_start` then tells that one came) and, in the delimited
// layout, one separator and the blanks after it. False if, in the delimited
// layout, other text stands where the separator should.
inline bool to_next_field(replay_source& f, char sep, bool& field_start) {
  for (; is_blank(f.peek()); f.bump()) field_start = true;
  if (sep != 0 && f.peek() == sep) {
    f.bump();
    while (is_blank(f.peek())) f.bump();
  } else if (sep != 0 && f.peek() >= 0 && f.peek() != '\n') {
    return false;
  }
  return true;
}

// Reads X, Y and Z of a line: `bad` (`at` then the offset of the text to
// quote), `absent` (`numbers` then how many came), `nodata` if any of them
// is nodata, else `number`.
inline field read_xyz(replay_source& f, pass_tallies& t, char sep, double (&values)[3], int64_t& at, int& numbers) {
  bool nan = false;
  for (int i = 0; i < 3; ++i) {
    bool field_start = i == 0;  // the line's first non-blank character, or after a blank
    if (i > 0 && !to_next_field(f, sep, field_start)) {
      at = f.offset();
      return field::bad;
    }
    const field k = sep == 0 ? read_number(f, t, field_start, values[i], at) : read_field(f, t, sep, values[i], at);
    if (k == field::absent) numbers = i;
    if (k == field::bad || k == field::absent) return k;
    nan |= k == field::nodata;
  }
  return nan ? field::nodata : field::number;
}

// What reading the rest of a line found.
enum class rest { read, bad_separator, decimal_comma, too_long };

// The rest of the line, from the end of the third number (in the delimited
// layout, after the separator that follows the third field): copied into
// `extras`, `size` bytes with extras_readable readable bytes after them, as
// after any text in the block; then past the line feed. bad_separator if,
// in the delimited layout, other text stands where that separator should
// (`at` then its offset); decimal_comma if, in the line layout, a comma
// and a digit follow Z at once (`400,5`: the Z of a file written with
// decimal commas, which must not be read as 400; `at` then the comma's
// offset); too_long, with nothing more read, if the rest is longer than
// line_text_max.
inline rest read_rest(replay_source& f, char sep, std::string& extras, size_t& size, int64_t& at) {
  int c;
  if (sep != 0) {
    while (is_blank(f.peek())) f.bump();
    c = f.peek();
    if (c == sep) {
      f.bump();
    } else if (c >= 0 && c != '\n') {
      at = f.offset();
      return rest::bad_separator;
    }
  }
  extras.clear();
  const int64_t rest_at = f.offset();
  for (; (c = f.peek()) >= 0 && c != '\n'; f.bump()) {
    if (extras.size() == line_text_max) return rest::too_long;
    extras += char(c);
  }
  if (c == '\n') f.bump();
  if (sep == 0 && extras.size() >= 2 && extras[0] == ',' && extras[1] >= '0' && extras[1] <= '9') {
    at = rest_at;
    return rest::decimal_comma;
  }
  size = extras.size();
  extras.append(extras_readable, '\0');
  return rest::read;
}

// Reads the row name that begins a line of a layout with row names: the
// text up to the separator (a blank, in the line layout), into `name`;
// then moves past the separator and the blanks after it, to where X
// begins. False if the line ends before X.
inline bool read_row_name(replay_source& f, char sep, std::string& name) {
  name.clear();
  int c;
  for (; (c = f.peek()) >= 0 && c != '\n' && (sep != 0 ? c != sep : !is_blank(c)); f.bump()) name += char(c);
  if (sep != 0 && c == sep) f.bump();
  while (is_blank(f.peek())) f.bump();
  c = f.peek();
  return c >= 0 && c != '\n';
}

// Moves to the first non-blank character of the next line that may hold a
// record (`line_at`, its offset), past blank lines, comment lines and the
// header again, which it counts; the characters its comparison with the
// header took are then in g.taken. False at the end of the data.
inline bool to_data_line(tier_context& c, general_state& g, int64_t& line_at) {
  reader_block& s = c.block;
  for (;;) {
    int ch;
    while (is_blank(ch = s.peek())) s.bump();
    if (ch < 0) return false;
    if (ch == '\n') {
      s.bump();
      continue;
    }
    line_at = s.offset();
    if (!skip_if_not_data(s, g.header, g.taken)) return true;
    c.tally.count_skipped(line_at);
  }
}

// The free layout: numbers three at a time, across lines. A comment line
// or the header again, where a number should begin a line, is skipped.
read_status general_free(tier_context& c, general_state& g, pass_end& e) {
  reader_block& s = c.block;
  double values[3];
  int64_t token = 0;
  for (int i = 0; i < 3; ++i) {
    bool line_start = s.offset() == c.tally.line_start;
    int ch;
    for (; is_space(ch = s.peek()); s.bump()) line_start |= ch == '\n';
    if (ch < 0) return i == 0 ? data_end(c, e) : record_cut_short(c, e, token);
    if (line_start && !begins_number(ch)) {
      const int64_t at = s.offset();
      if (!skip_if_not_data(s, g.header, g.taken)) return text_stop(c, e, at);
      c.tally.count_skipped(at);
      c.tally.line_start = s.offset();
      --i;
      continue;
    }
    token = s.offset();
    decimal_number d;
    // Quoted from the character where the number that could not be read
    // begins (a number before it on its token was read).
    if (!scan_decimal(s, d) || !decimal_to_double(d, values[i])) return text_stop(c, e, token);
    c.tally.note_decimals(typed_decimals(d));
  }
  c.record.extras_size = 0;
  take_values(c, values);
  return read_status::record;
}

// The line and delimited layouts: a line at a time. Blank lines, comment
// lines and the header again are skipped, and so are lines with nodata
// (nan, inf and their kin) among their X, Y and Z.
read_status general_line(tier_context& c, general_state& g, pass_end& e) {
  const char sep = c.layout.separator;
  for (;;) {
    int64_t line_at = 0;
    if (!to_data_line(c, g, line_at)) return data_end(c, e);
    replay_source f{g.taken, 0, c.block};
    double values[3];
    int64_t at = 0;
    int numbers = 0;
    if (c.layout.row_names && !read_row_name(f, sep, g.row)) return short_line(c, e, line_at, 0);
    const field k = read_xyz(f, c.tally, sep, values, at, numbers);
    if (k == field::bad) return text_stop(c, e, at);
    if (k == field::absent) return short_line(c, e, line_at, numbers);
    size_t extras_size = 0;
    const rest r = read_rest(f, sep, g.extras, extras_size, at);
    if (r == rest::bad_separator || r == rest::decimal_comma) return text_stop(c, e, at);
    if (r == rest::too_long) return long_line_stop(c, e, line_at);
    if (c.block.read_errno() != 0) return read_status::read_error;
    if (k == field::nodata) {
      c.tally.count_nodata(line_at);
      continue;
    }
    if (c.layout.row_names) {  // the row name is the first extra column
      g.extras.insert(0, g.row + (sep != 0 ? sep : ' '));
      extras_size += g.row.size() + 1;
    }
    c.record.extras = g.extras.data();
    c.record.extras_size = extras_size;
    take_values(c, values);
    return read_status::record;
  }
}

}  // namespace

bool next_line_text(tier_context& c, general_state& g, pass_end& e, std::string& line, int64_t& line_at,
                    read_status& end) {
  if (!to_data_line(c, g, line_at)) {
    end = data_end(c, e);
    return false;
  }
  replay_source f{g.taken, 0, c.block};
  line.clear();
  int ch;
  for (; (ch = f.peek()) >= 0 && ch != '\n'; f.bump()) {
    if (line.size() == line_text_max) {
      end = long_line_stop(c, e, line_at);
      return false;
    }
    line += char(ch);
  }
  if (ch == '\n') f.bump();
  if (c.block.read_errno() != 0) {
    end = read_status::read_error;
    return false;
  }
  return true;
}

read_status stop_at_text(tier_context& c, pass_end& e, int64_t at) { return text_stop(c, e, at); }

read_status stop_short(tier_context& c, pass_end& e, int64_t line_at, int columns) {
  return short_line(c, e, line_at, columns);
}

read_status read_general(tier_context& c, general_state& g, pass_end& e) {
  if (c.layout.kind == point_layout::free) return general_free(c, g, e);
  return c.layout.by_names ? general_columns(c, g, e) : general_line(c, g, e);
}

}  // namespace tessera::detail
