// The layouts by the header's names (file_layout::by_names): X, Y and Z
// are read from the columns the header names them in, each a whole field
// (cut at the separator, or at blanks in the line layout) that holds a
// number or nan within the blanks and one pair of double quotes around it;
// every other column is an extra column, written after X Y Z in the
// file's order. A line without the columns of X, Y and Z is a short line.
//
// The fast tier takes a line that lies whole in the block, whose X, Y and Z
// are plain numbers within tier 2's limits (an optional sign, digits and
// one point); it leaves anything else (a line that may be a comment or the
// header again, quotes, nan, an exponent, more columns than it keeps) to
// the general scanner, which reads every line as it does. Like tiers 1 and
// 2, it learns the layout of a line it took whose X, Y and Z end within the
// window: a line that matches its pattern up to there (every character of
// it, digits as digits) has its numbers and columns in the same places, and
// is taken at once.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "points/delimiters.h"
#include "points/layout_decision.h"
#include "points/reader_limits.h"
#include "points/reader_tiers.h"

namespace tessera::detail {

namespace {

// The fast tier keeps the places of at most this many columns of a line:
// far more than point files hold; a line with more goes to the general
// scanner.
constexpr int columns_fast_max = 32;

bool blank(char c) { return is_blank(static_cast<unsigned char>(c)); }

// A field [a, e) of line `s`: the next one from `i` (at the separator, or
// the next word at blanks), without the blanks around it. False if the
// line [0, n) holds no more. Moves i past it and its separator.
inline bool next_field(const char* s, int n, char sep, int& i, int& a, int& e) {
  if (sep != 0) {
    if (i > n) return false;
    int cut = i;
    while (cut < n && s[cut] != sep) ++cut;
    a = i;
    e = cut;
    i = cut + 1;
    while (a < e && blank(s[a])) ++a;
    while (e > a && blank(s[e - 1])) --e;
    return true;
  }
  while (i < n && blank(s[i])) ++i;
  if (i >= n) return false;
  a = i;
  while (i < n && !blank(s[i])) ++i;
  e = i;
  return true;
}

// The places of a line's fields: an empty last one after a separator is
// nothing. False if there are more than `most`.
inline bool cut_fields(const char* s, int n, char sep, int* a, int* e, int most, int& count) {
  count = 0;
  int i = 0;
  for (int fa = 0, fe = 0; next_field(s, n, sep, i, fa, fe);) {
    if (count == most) return false;
    a[count] = fa;
    e[count] = fe;
    ++count;
  }
  if (sep != 0 && count > 1 && a[count - 1] == e[count - 1] && i > n) {
    // The last field, after the last separator, is empty: nothing.
    --count;
  }
  return true;
}

// The extra columns of a line: its fields but X, Y and Z, in their order,
// as the output writes them (record_text.cpp): each after a blank, or, in
// the delimited layout, each followed by the separator so that an empty one
// keeps its place. extras_readable bytes follow them.
inline void other_columns(const char* s, const int* a, const int* e, int count, const int (&xyz)[3], char sep,
                          std::string& out, size_t& size) {
  out.clear();
  for (int k = 0; k < count; ++k) {
    if (k == xyz[0] || k == xyz[1] || k == xyz[2]) continue;
    if (sep == 0) out += ' ';
    out.append(s + a[k], size_t(e[k] - a[k]));
    if (sep != 0) out += sep;
  }
  size = out.size();
  out.append(size_t(extras_readable), '\0');
}

// A plain number filling [a, e) of `s`: an optional sign, digits and at
// most one point, within tier 2's limits. Fills its shape.
inline bool plain_number(const char* s, int a, int e, number_shape& t) {
  if (a == e) return false;
  t.negative = s[a] == '-';
  t.first_digit = a + (s[a] == '-' || s[a] == '+');
  t.point = e;
  for (int i = t.first_digit; i < e; ++i) {
    if (s[i] == '.' && t.point == e) {
      t.point = i;
    } else if (s[i] < '0' || s[i] > '9') {
      return false;
    }
  }
  t.whole = t.point - t.first_digit;
  t.decimals = t.point == e ? 0 : e - t.point - 1;
  return t.whole + t.decimals != 0 && t.whole + t.decimals <= shape_digits_max && t.decimals <= shape_decimals_max;
}

enum class named_field { number, nan, bad };

// Reads X, Y or Z from field [a, e) of line `s` as the general scanner
// does: within one pair of double quotes or none, a nodata spelling (nan,
// inf and their kin, number_scan.h) with or without a sign, or a number as
// the grammar of the line and delimited layouts reads it (its exponent
// marked by e or d), filling what is left of the field. After `bad`, `at`
// is where the text to quote begins: the field, or what follows a number
// read in it (`400,5` quotes `,5`).
named_field read_named(const char* s, int a, int e, double& value, int64_t& decimals, int& at) {
  at = a;
  if (e - a >= 2 && s[a] == '"' && s[e - 1] == '"') {
    ++a;
    --e;
  }
  const std::string f(s + a, size_t(e - a));
  const char* p = f.c_str();
  const char* end = p + f.size();
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  text_source src{p};
  decimal_number d;
  const scanned_value k = scan_value(src, d, true);
  if (k == scanned_value::bad) return named_field::bad;
  if (src.p != end) {
    if (k == scanned_value::number) at = a + int(src.p - f.c_str());
    return named_field::bad;
  }
  if (k == scanned_value::nodata) return named_field::nan;
  if (!decimal_to_double(d, value)) return named_field::bad;
  if (negative) value = -value;
  decimals = typed_decimals(d);
  return named_field::number;
}

// Writes the extra columns of a line that matched the learnt pattern: the
// learnt columns, then the rest of the line [rest, rest + n), as
// other_columns writes them.
inline size_t learnt_extras(const char* s, const learnt_columns& k, char sep, const char* rest, size_t n,
                            std::string& out) {
  // Each piece takes at most extras_readable bytes more than its own, a
  // blank or a separator with it.
  size_t need = n + size_t(extras_readable) * (size_t(k.count) + 2);
  for (int i = 0; i < k.count; ++i) need += size_t(k.end[i] - k.at[i]) + 1;
  if (out.size() < need) out.resize(2 * need);
  char* o = out.data();
  // A piece of at most extras_readable bytes is copied by one load: any
  // text in the block has that many readable bytes from its start.
  const auto put = [&o](const char* from, size_t size) {
    std::memcpy(o, from, size <= size_t(extras_readable) ? size_t(extras_readable) : size);
    o += size;
  };
  for (int i = 0; i < k.count; ++i) {
    if (sep == 0) *o++ = ' ';
    put(s + k.at[i], size_t(k.end[i] - k.at[i]));
    if (sep != 0) *o++ = sep;
  }
  put(rest, n);
  std::memset(o, 0, size_t(extras_readable));
  return size_t(o - out.data());
}

// Learns the layout of line `s`, just taken, whose fields are [a, e):
// when its X, Y and Z end, with the delimiter after the last of them,
// within the window, holding no 0 byte, and no line laid out like it can
// be the header again (the header does not begin as a number, nor as the
// line does).
inline void learn_columns(const tier_context& c, general_state& g, record_shape& l, const char* s, int n,
                          const int* a, const int* e) {
  const file_layout& f = c.layout;
  const int last = std::max({f.xyz[0], f.xyz[1], f.xyz[2]});
  int d = e[last];
  if (f.separator != 0) {
    while (d < n && blank(s[d])) ++d;
  }
  const std::string& h = g.header;
  if (d >= window - 1 || std::memchr(s, 0, size_t(d) + 1) != nullptr ||
      (!h.empty() && (begins_number(static_cast<unsigned char>(h[0])) || h[0] == s[0]))) {
    return;
  }
  learnt_columns& k = g.columns;
  k.count = 0;
  for (int i = 0; i < last; ++i) {
    if (i == f.xyz[0] || i == f.xyz[1] || i == f.xyz[2]) continue;
    if (k.count == learnt_columns_max) return;
    k.at[k.count] = a[i];
    k.end[k.count] = e[i];
    ++k.count;
  }
  l.range = (uint64_t(2) << d) - 1;
  for (int i = 0; i < window; ++i) l.pattern[i] = i <= d && s[i] >= '0' && s[i] <= '9' ? '0' : s[i];
  l.end = d;  // the delimiter after the last of X, Y and Z
  l.rest = s[d] != '\n';
  l.known = true;
}

// Takes a line laid out like the learnt one, if it is.
inline bool take_learnt(tier_context& c, general_state& g, const record_shape& l) {
  reader_block& b = c.block;
  const char* const s = b.pos();
  if (!l.known || !matches_pattern<4>(s, l.pattern, l.range)) return false;
  const char* rest = s + l.end;
  const char* next = rest + 1;
  const char* nl = rest;
  if (l.rest) {
    if (c.layout.separator != 0) ++rest;  // past the separator
    // The line's end is looked for first among the line_end_read bytes
    // after the separator, as tier 1 does.
    const uint64_t ends = byte_mask<line_end_read / 16>(rest, '\n');
    nl = ends != 0 ? rest + __builtin_ctzll(ends) : static_cast<const char*>(std::memchr(rest, '\n', size_t(b.end() - rest)));
    if (nl != nullptr && nl >= b.end()) nl = nullptr;
    if (nl == nullptr && !b.eof()) return false;
    next = nl != nullptr ? nl + 1 : b.end();
    if (nl == nullptr) nl = b.end();
  }
  c.record.text = s;
  c.record.extras_size = learnt_extras(s, g.columns, c.layout.separator, rest, size_t(nl - rest), g.extras);
  c.record.extras = g.extras.data();
  ++c.tally.records;
  b.move(next);
  return true;
}

}  // namespace

bool read_by_columns(tier_context& c, general_state& g, record_shape& learnt) {
  if (take_learnt(c, g, learnt)) return true;
  learnt.known = false;
  reader_block& b = c.block;
  const char* const s = b.pos();
  const char* nl = static_cast<const char*>(std::memchr(s, '\n', size_t(b.end() - s)));
  if (nl == nullptr && !b.eof()) return false;
  const char* next = nl != nullptr ? nl + 1 : b.end();
  if (nl == nullptr) nl = b.end();
  const char* p = s;
  while (p != nl && blank(*p)) ++p;
  // Blank lines, lines that may be comments or the header again: the
  // general scanner's.
  if (p == nl || *p == '#' || *p == '%' || *p == '>' || *p == '/') return false;
  const std::string& h = g.header;
  if (!h.empty() && size_t(nl - p) >= h.size() && std::memcmp(p, h.data(), h.size()) == 0) return false;
  const file_layout& l = c.layout;
  const int n = int(nl - s);
  int a[columns_fast_max], e[columns_fast_max], count = 0;
  if (!cut_fields(s, n, l.separator, a, e, columns_fast_max, count)) return false;
  number_shape* shape = c.record.shapes;
  for (int k = 0; k < 3; ++k) {
    const int col = l.xyz[k];
    if (col >= count || !plain_number(s, a[col], e[col], shape[k])) return false;
  }
  size_t size = 0;
  other_columns(s, a, e, count, l.xyz, l.separator, g.extras, size);
  c.record.text = s;
  c.record.copyable = std::all_of(shape, shape + 3, [](const number_shape& t) {
    return t.whole <= copy_whole_max && t.decimals <= copy_decimals_max;
  });
  c.record.extras = g.extras.data();
  c.record.extras_size = size;
  c.tally.note_decimals(std::max({shape[0].decimals, shape[1].decimals, shape[2].decimals}));
  ++c.tally.records;
  b.move(next);
  learn_columns(c, g, learnt, s, n, a, e);
  return true;
}

read_status general_columns(tier_context& c, general_state& g, pass_end& e) {
  const file_layout& l = c.layout;
  const int needed = 1 + std::max({l.xyz[0], l.xyz[1], l.xyz[2]});
  for (;;) {
    int64_t line_at = 0;
    read_status end = read_status::end_of_data;
    if (!next_line_text(c, g, e, g.line, line_at, end)) return end;
    const char* s = g.line.c_str();
    const int n = int(g.line.size());
    std::vector<int> a(size_t(n) + 2), f(size_t(n) + 2);
    int count = 0;
    cut_fields(s, n, l.separator, a.data(), f.data(), n + 2, count);
    if (count < needed) return stop_short(c, e, line_at, count);
    double values[3];
    bool nan = false;
    for (int k = 0; k < 3; ++k) {
      const int col = l.xyz[k];
      int64_t decimals = 0;
      int at = 0;
      const named_field r = read_named(s, a[size_t(col)], f[size_t(col)], values[k], decimals, at);
      if (r == named_field::bad) return stop_at_text(c, e, line_at + at);
      c.tally.note_decimals(decimals);
      nan |= r == named_field::nan;
    }
    if (nan) {
      c.tally.count_nodata(line_at);
      continue;
    }
    size_t size = 0;
    other_columns(s, a.data(), f.data(), count, l.xyz, l.separator, g.extras, size);
    c.record.extras = g.extras.data();
    c.record.extras_size = size;
    take_values(c, values);
    return read_status::record;
  }
}

}  // namespace tessera::detail
