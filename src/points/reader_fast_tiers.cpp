// Tiers 2 and 3 of the record reader (see record_reader.cpp), and the rest
// of a line as the tiers that read a line in the block find it. Each takes
// only what lies within its limits (reader_limits.h) and declines anything
// else, untouched, to the next tier.
#include <algorithm>
#include <cstring>

#include "points/delimiters.h"
#include "points/eight_digits.h"
#include "points/layout_decision.h"
#include "points/reader_limits.h"
#include "points/reader_tiers.h"

namespace tessera::detail {

namespace {

// The rest of a line.

// Moves p from the end of the third number past what may follow it before
// the extra columns: blanks and one separator, in the delimited layout;
// false if other text stands there, or if the block ends before the file
// does.
inline bool past_third(const reader_block& b, char sep, const char*& p) {
  const char* const end = b.end();
  if (sep == 0) return p == end || is_space(static_cast<unsigned char>(*p));
  while (p != end && is_blank(static_cast<unsigned char>(*p))) ++p;
  if (p != end && *p != '\n') {
    if (*p != sep) return false;
    ++p;
    return p != end || b.eof();
  }
  return p != end || b.eof();
}

// line_rest (reader_tiers.h), here for tier 3 to inline.
inline bool rest_of_line(tier_context& c, const char* p, const char*& next) {
  record_parts& v = c.record;
  const reader_block& b = c.block;
  v.extras_size = 0;
  const char sep = c.layout.separator;
  if (!past_third(b, sep, p)) return false;
  if (p == b.end()) {
    if (!b.eof()) return false;
    next = p;
    return true;
  }
  if (sep == 0 && *p == '\n') {
    next = p + 1;
    return true;
  }
  const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(b.end() - p)));
  if (nl == nullptr) {
    if (!b.eof()) return false;
    nl = next = b.end();
  } else {
    next = nl + 1;
  }
  v.extras = p;
  v.extras_size = size_t(nl - p);
  return true;
}

// Tier 3.

// Tier 3's number: an optional sign, at most numbers_whole_max integer
// digits and numbers_decimals_max decimals, numbers_digits_max in all, no
// exponent.
// Reads at most numbers_read bytes from p, and advances p past it.
inline bool eight_at_once(const char*& p, decimal_number& d) {
  const char* s = p;
  d.negative = *s == '-';
  s += d.negative || *s == '+';
  uint64_t w = load8(s);
  int whole = leading_digits(w);
  uint64_t m = 0;
  if (whole != 0) m = digits_value(w, whole);
  s += whole;
  if (whole == 8) {
    w = load8(s);
    int more = leading_digits(w);
    if (whole + more > numbers_whole_max) return false;
    if (more != 0) m = m * powers_of_ten[more] + digits_value(w, more);
    s += more;
    whole += more;
  }
  int decimals = 0;
  if (*s == '.') {
    ++s;
    w = load8(s);
    decimals = leading_digits(w);
    if (decimals > numbers_decimals_max || whole + decimals > numbers_digits_max) return false;
    if (decimals != 0) m = m * powers_of_ten[decimals] + digits_value(w, decimals);
    s += decimals;
  }
  char next = *s;
  if (whole + decimals == 0 || next == 'e' || next == 'E' || next == '.') return false;
  d.digits = m;
  d.exponent = -decimals;
  p = s;
  return true;
}

// Moves s to where the next number of a record begins: past any whitespace
// (`across_lines`: the first number of a line, or any number of the free
// layout), or past blanks and, in the delimited layout, one separator and
// the blanks after it. False if the separator is missing.
inline bool to_number(const char*& s, bool across_lines, char sep) {
  if (across_lines) {
    while (is_space(static_cast<unsigned char>(*s))) ++s;
    return true;
  }
  while (is_blank(static_cast<unsigned char>(*s))) ++s;
  if (sep != 0) {
    if (*s != sep) return false;
    ++s;
    while (is_blank(static_cast<unsigned char>(*s))) ++s;
  }
  return true;
}

// Whether `next`, the character after the number of field i of a line, ends
// the field: a blank or the separator (in the line layout, the 0 after the
// data); in the line layout X or Y may also be followed at once by the sign
// of the next number (this tier's number is never followed by a digit, a
// point or an e, which would extend it).
inline bool ends_field(char next, char sep, int i) {
  return is_space(static_cast<unsigned char>(next)) || next == sep ||
         (sep == 0 && i < 2 && (next == '-' || next == '+'));
}

// Tier 3: one number after another, each read 8 digits at a time. In
// the line and delimited layouts the three lie on one line, the second
// and third each after one separator. Takes the record, or declines it.
inline fast_read by_numbers(tier_context& c) {
  const char* s = c.block.pos();
  const char sep = c.layout.separator;
  const bool lines = c.layout.kind != point_layout::free;
  double values[3];
  int64_t decimals = 0;  // noted once the record is taken
  for (int i = 0; i < 3; ++i) {
    if (!to_number(s, i == 0 || !lines, sep)) return fast_read::declined;
    decimal_number d;
    if (!eight_at_once(s, d) || s >= c.block.end() || !decimal_to_double(d, values[i])) return fast_read::declined;
    if (lines && !ends_field(*s, sep, i)) return fast_read::declined;
    decimals = std::max(decimals, -d.exponent);
  }
  const char* next = s;
  c.record.extras_size = 0;
  if (lines && !rest_of_line(c, s, next)) return fast_read::declined;
  c.block.move(next);
  c.tally.note_decimals(decimals);
  take_values(c, values);
  return fast_read::taken;
}

// Tier 2.

// Checks the number [a, e) of the window at s (e < window) with the
// window's digit and point masks: an optional sign, then only digits and
// at most one point, within tier 2's limits. Fills its shape.
inline bool shape_of(const char* s, int a, int e, uint64_t digit, uint64_t point, number_shape& t) {
  t.negative = s[a] == '-';
  t.first_digit = a + (t.negative || s[a] == '+');
  uint64_t range = ((uint64_t(1) << e) - 1) & (~uint64_t(0) << t.first_digit);
  uint64_t dot = point & range;
  if (((digit | dot) & range) != range || (dot & (dot - 1)) != 0) return false;
  t.point = dot != 0 ? __builtin_ctzll(dot) : e;
  t.whole = t.point - t.first_digit;
  t.decimals = dot != 0 ? e - t.point - 1 : 0;
  return t.whole + t.decimals != 0 && t.whole + t.decimals <= shape_digits_max && t.decimals <= shape_decimals_max;
}

// Whether a number of this shape prints under "%lf" as its own digits
// (record_text.cpp copies them).
inline bool copyable(const number_shape& t) { return t.whole <= copy_whole_max && t.decimals <= copy_decimals_max; }

// Whether the gap [from, to) of a window at s holds `seps` separators
// (sep, or none if sep is 0), and a line end only if `line_ends`.
inline bool gap_holds(const char* s, int from, int to, char sep, int seps, bool line_ends) {
  int found = 0;
  for (int i = from; i < to; ++i) {
    if (s[i] == '\n' && !line_ends) return false;
    found += sep != 0 && s[i] == sep;
  }
  return found == (sep != 0 ? seps : 0);
}

// Cuts the next piece of a window from its delimiter mask: `a`, its first
// byte among `starts` (the bytes that are no delimiter, from the end of the
// piece before), and `e`, the delimiter after it; 64 for either where
// there is none. Leaves in `starts` the bytes from `e` on.
inline void cut_piece(uint64_t delimiter, uint64_t& starts, int& a, int& e) {
  a = starts != 0 ? __builtin_ctzll(starts) : 64;
  uint64_t ends = a < 64 ? delimiter & (~uint64_t(0) << a) : 0;
  e = ends != 0 ? __builtin_ctzll(ends) : 64;
  starts = e < 64 ? starts & (~uint64_t(0) << e) : 0;
}

// Tier 2: cuts the record into its numbers from the delimiter masks of
// its window and learns its layout for tier 1. False (the layout then
// unknown) if it declines.
inline bool learn(tier_context& c, record_shape& l) {
  const char* s = c.block.pos();
  char_masks m = char_masks_at<window / 16>(s);
  const char sep = c.layout.separator;
  const bool lines = c.layout.kind != point_layout::free;
  uint64_t delimiter = m.space | m.nul;
  if (sep != 0) delimiter |= byte_mask<window / 16>(s, sep);
  uint64_t starts = ~delimiter;
  int a0, e0, a1, e1, a2, e2;
  cut_piece(delimiter, starts, a0, e0);
  cut_piece(delimiter, starts, a1, e1);
  cut_piece(delimiter, starts, a2, e2);
  // The record must end inside the window, with no 0 byte up to and
  // including its delimiter (the 0 at the end of the data may hide more).
  l.known = false;
  number_shape* shape = c.record.shapes;
  if (e2 == 64 || (m.nul & ((uint64_t(2) << e2) - 1)) != 0 || !shape_of(s, a0, e0, m.digit, m.point, shape[0]) ||
      !shape_of(s, a1, e1, m.digit, m.point, shape[1]) || !shape_of(s, a2, e2, m.digit, m.point, shape[2])) {
    return false;
  }
  // In the line and delimited layouts the three numbers lie on one line
  // (blank lines may come before it), the second and the third each
  // after one separator, the first after none.
  if (lines && (!gap_holds(s, 0, a0, sep, 0, true) || !gap_holds(s, e0, a1, sep, 1, false) ||
                !gap_holds(s, e1, a2, sep, 1, false))) {
    return false;
  }
  l.known = true;
  // Tier 1 takes only records of these shapes: their decimals are noted once.
  c.tally.note_decimals(std::max({shape[0].decimals, shape[1].decimals, shape[2].decimals}));
  l.range = (uint64_t(2) << e2) - 1;
  for (int i = 0; i < window; ++i) l.pattern[i] = i <= e2 && s[i] >= '0' && s[i] <= '9' ? '0' : s[i];
  c.record.copyable = copyable(shape[0]) && copyable(shape[1]) && copyable(shape[2]);
  // A line whose third number ends it ends with the pattern; any other
  // line goes on to its end (record_reader::take_line).
  l.rest = lines && s[e2] != '\n';
  l.end = lines && !l.rest ? e2 + 1 : e2;
  return true;
}

}  // namespace

bool line_rest(tier_context& c, const char* p, const char*& next) { return rest_of_line(c, p, next); }

fast_read read_by_masks(tier_context& c, record_shape& shape) {
  // A row name before X is the general scanner's alone.
  if (c.layout.row_names) return fast_read::declined;
  if (learn(c, shape)) return fast_read::learnt;
  return by_numbers(c);
}

bool read_by_numbers(tier_context& c) { return by_numbers(c) == fast_read::taken; }

}  // namespace tessera::detail
