#include "points/layout_decision.h"

#include <algorithm>
#include <string>
#include <vector>

#include "points/header_columns.h"

namespace tessera {

namespace {

std::string_view trimmed(std::string_view t) {
  while (!t.empty() && is_space(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
  while (!t.empty() && is_space(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
  return t;
}

bool blank(char c) { return is_space(static_cast<unsigned char>(c)); }

// A nodata spelling (nan, inf and their kin, number_scan.h).
bool is_nodata(std::string_view t) { return is_nodata_text(t.data(), t.size()); }

// Whether a field begins as an older runtime's nodata spelling does, 1.#
// after a sign or none.
bool begins_runtime_nodata(std::string_view t) {
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
  return t.substr(0, 3) == "1.#";
}

// A field of a first data line that the delimited layout reads as a
// number: a number (its exponent marked by e or d), or nodata.
bool is_number_text(std::string_view t) {
  if (is_nodata(t)) return true;
  std::string z(t);
  text_source src{z.c_str()};
  decimal_number d;
  double v;
  return scan_decimal<true>(src, d) && src.p == z.c_str() + z.size() && decimal_to_double(d, v);
}

// How many numbers begin the text [p, end) as the line layout reads them
// (up to three), each read as the grammar reads it from where the one
// before it ended and the blanks after it, so that the next may follow at
// once (nodata only as a field of its own: first, or after a blank, and up
// to a blank or the end). Moves p past them. The text ends in a 0 byte, which
// ends a number as in the block.
int leading_numbers(const char*& p, const char* end) {
  int numbers = 0;
  while (numbers < 3) {
    const char* q = p;
    while (q != end && blank(*q)) ++q;
    const bool field_start = numbers == 0 || q != p;
    p = q;
    if (p == end) break;
    const char* w = p;
    while (w != end && !blank(*w)) ++w;
    const std::string_view field(p, size_t(w - p));
    if (field_start && is_nodata(field)) {
      p = w;
    } else if (field_start && begins_runtime_nodata(field)) {
      break;  // 1.# begins a runtime's nodata spelling, as the reader reads it, or nothing
    } else {
      text_source src{p};
      decimal_number d;
      double v;
      if (!scan_decimal<true>(src, d) || !decimal_to_double(d, v)) break;
      p = src.p;
    }
    ++numbers;
  }
  return numbers;
}

// The whitespace-separated columns of [p, end).
int columns_in(const char* p, const char* end) {
  int columns = 0;
  for (;;) {
    while (p != end && blank(*p)) ++p;
    if (p == end) return columns;
    ++columns;
    while (p != end && !blank(*p)) ++p;
  }
}

// A line as the line layout reads it: how many numbers begin it (up to
// three, leading_numbers); and its columns: those numbers, then the
// whitespace-separated columns after the third.
void count_fields(std::string_view t, int& columns, int& numbers) {
  const std::string z(t);  // a 0 byte ends a number, as in the block
  const char* p = z.c_str();
  const char* const end = p + z.size();
  numbers = leading_numbers(p, end);
  columns = numbers;
  if (numbers == 3) columns += columns_in(p, end);
}

// The fields of a line cut at `sep` (an empty last one is nothing), if
// there are 3 or more and each is a number once the blanks around it and
// one pair of double quotes are taken off; otherwise 0.
int delimited_fields(std::string_view t, char sep) {
  if (t.find(sep) == std::string_view::npos) return 0;
  int fields = 0;
  for (;;) {
    size_t cut = t.find(sep);
    std::string_view f = trimmed(t.substr(0, cut));
    bool last = cut == std::string_view::npos;
    if (last && f.empty()) break;
    if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
    if (!is_number_text(f)) return 0;
    ++fields;
    if (last) break;
    t.remove_prefix(cut + 1);
  }
  return fields >= 3 ? fields : 0;
}

// A whole number alone on its line: what may be a count of points.
bool is_count(std::string_view t, int64_t& value) {
  // More digits than this may not fit 64 bits: no count of points.
  constexpr size_t count_digits_max = 18;
  if (t.empty() || t.size() > count_digits_max) return false;
  value = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// Row names.

// A field without one pair of double quotes around it.
std::string_view unquoted(std::string_view f) {
  return f.size() >= 2 && f.front() == '"' && f.back() == '"' ? f.substr(1, f.size() - 2) : f;
}

// Cuts the first field off a line, at `sep` or, when it is 0, at the
// first blank: `first` and the `rest` after its separator, each without
// the blanks around it. False if the line holds no such cut.
bool cut_first(std::string_view t, char sep, std::string_view& first, std::string_view& rest) {
  const size_t cut = sep != 0 ? t.find(sep) : t.find_first_of(" \t\v\f\r");
  if (cut == std::string_view::npos) return false;
  first = trimmed(t.substr(0, cut));
  rest = trimmed(t.substr(cut + 1));
  return true;
}

// The names of a header cut as the data lines are: at `sep` (an empty last
// one is nothing), or at blanks when it is 0.
int names_in(std::string_view h, char sep) {
  if (sep == 0) return columns_in(h.data(), h.data() + h.size());
  int names = 1;
  for (char c : h) names += c == sep;
  return trimmed(h.substr(h.rfind(sep) + 1)).empty() ? names - 1 : names;
}

// What a row name looks like when the header does not leave its column
// unnamed: a quoted text. (A whole number is not enough: `X Y Z` over
// lines of four numbers reads its first three as X, Y and Z, as it always
// did.)
bool row_name_like(std::string_view f) { return f.size() >= 2 && f.front() == '"' && f.back() == '"'; }

// The layout of a first data line `t` whose first column holds row names,
// after the header `h`: the header leaves that column unnamed, or names one
// column fewer than the line holds while the line's first field looks like
// a row name; the rest of the line shows a line or delimited layout of its
// own, with the same separator. False if the line holds no row names.
bool row_name_layout(std::string_view t, std::string_view h, file_layout& l) {
  for (char sep : {',', ';', '|', '\0'}) {
    std::string_view first, rest, unnamed, names_after;
    if (!cut_first(t, sep, first, rest)) continue;
    const file_layout r = layout_of(rest);
    if (r.kind == point_layout::free || r.separator != sep) continue;
    const bool empty_name = cut_first(h, sep, unnamed, names_after) && unquoted(unnamed).empty();
    if (!empty_name && !(names_in(h, sep) == r.columns && row_name_like(first))) continue;
    l = r;
    l.columns = r.columns + 1;
    l.row_names = true;
    return true;
  }
  return false;
}

// Words.

// A field that spells no value: nan, inf or infinity in any case, with or
// without a sign, or an older runtime's 1.#INF, 1.#QNAN or 1.#IND. It holds
// letters but no word.
bool is_no_value(std::string_view f) {
  if (!f.empty() && (f[0] == '-' || f[0] == '+')) f.remove_prefix(1);
  std::string w;
  for (char c : f) w += c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
  return w == "nan" || w == "inf" || w == "infinity" || w == "1.#inf" || w == "1.#qnan" || w == "1.#ind";
}

// A letter: A to Z, a to z, or any byte of a UTF-8 sequence (`Höhe`).
bool is_letter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80; }

// Whether a word stands in field `f`: a letter outside every number, the
// numbers read as the grammar reads them, each from where the text before
// it ended (so an exponent's e or d is no word: 1e5, 1d5; nor is a field, or a run
// of letters, that spells no value, is_no_value).
bool holds_word(std::string_view f) {
  if (is_no_value(f)) return false;
  const std::string z(f);  // a 0 byte ends a number
  for (const char* p = z.c_str(); p < z.c_str() + z.size();) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (begins_number(c)) {
      text_source src{p};
      decimal_number d;
      p = scan_decimal<true>(src, d) && src.p > p ? src.p : p + 1;
    } else if (is_letter(c)) {
      // A run of letters that spells no value (`2nan`) is no word either.
      const char* e = p;
      while (e < z.c_str() + z.size() && is_letter(static_cast<unsigned char>(*e))) ++e;
      if (!is_no_value(std::string_view(p, size_t(e - p)))) return true;
      p = e;
    } else {
      ++p;
    }
  }
  return false;
}

// The fields a line is cut into in looking for words: at the first of the
// field separators it holds, or at blanks.
char word_separator(std::string_view t) {
  for (char c : field_separators) {
    if (t.find(c) != std::string_view::npos) return c;
  }
  return '\0';
}

// X, Y and Z by the header's names.

// The separator a header and a first data line are cut at: the first of
// the field separators that both hold, else 0 (blanks) if the line holds
// none.
// False if the line holds one the header does not: the header's names are
// then not cut as the line is.
bool shared_separator(std::string_view t, std::string_view h, char& sep) {
  for (char c : field_separators) {
    sep = c;
    if (t.find(c) != std::string_view::npos && h.find(c) != std::string_view::npos) return true;
  }
  sep = 0;
  return t.find_first_of(std::string_view(field_separators, sizeof field_separators)) == std::string_view::npos;
}

// The fields of a line cut at `sep` (an empty last one is nothing), or
// its whitespace-separated words when it is 0.
std::vector<std::string_view> fields_of(std::string_view t, char sep) {
  std::vector<std::string_view> f;
  for (size_t i = 0; i <= t.size();) {
    size_t e = i;
    if (sep != 0) {
      e = std::min(t.find(sep, i), t.size());
    } else {
      while (i < t.size() && blank(t[i])) ++i;
      if (i == t.size()) break;
      for (e = i; e < t.size() && !blank(t[e]);) ++e;
    }
    f.push_back(t.substr(i, e - i));
    i = e + 1;
  }
  if (sep != 0 && f.size() > 1 && trimmed(f.back()).empty()) f.pop_back();
  return f;
}

bool columns_are(const int (&xyz)[3], int first) { return xyz[0] == first && xyz[1] == first + 1 && xyz[2] == first + 2; }

// The layout of a first data line `t` after a header `h` that names its
// X, Y and Z columns elsewhere than the first three in order (cut as the
// line is, shared_separator): they are read from there when the line
// holds that many columns and no word in them (a line whose numbers there
// cannot be read stops the reading with a message). A header one name short of
// a line whose first field is quoted names the last columns, and X, Y and
// Z right after a first column of row names are a layout with row names
// (row_name_layout). A header naming only one of X and Y gives the layout
// of no points, unnamed_axis telling which it lacks. False if the names
// tell nothing.
bool named_layout(std::string_view t, std::string_view h, file_layout& l) {
  char sep = 0;
  if (!shared_separator(t, h, sep)) return false;
  const header_columns n = columns_named(h, sep);
  if (n.axes == named_axes::missing_x || n.axes == named_axes::missing_y) {
    l = {point_layout::free, 0, 0, 0, 0};
    l.unnamed_axis = n.axes == named_axes::missing_x ? 'X' : 'Y';
    return true;
  }
  if (n.axes != named_axes::found) return false;
  const std::vector<std::string_view> f = fields_of(t, sep);
  const int shift = int(f.size()) == n.names + 1 && row_name_like(trimmed(f[0])) ? 1 : 0;
  int xyz[3];
  for (int k = 0; k < 3; ++k) xyz[k] = n.xyz[k] + shift;
  if (columns_are(xyz, 0)) return false;
  std::string_view unnamed, names_after;
  const bool unnamed_first = cut_first(h, sep, unnamed, names_after) && unquoted(unnamed).empty();
  if (columns_are(xyz, 1) && (shift == 1 || unnamed_first) && row_name_layout(t, h, l)) return true;
  if (size_t(std::max({xyz[0], xyz[1], xyz[2]})) >= f.size()) return false;
  for (int c : xyz) {
    if (holds_word(unquoted(trimmed(f[size_t(c)])))) return false;  // a line of units, say
  }
  l = {sep != 0 ? point_layout::delimited : point_layout::line, sep, int(f.size()), 0, 0};
  l.by_names = true;
  for (int k = 0; k < 3; ++k) l.xyz[k] = xyz[k];
  return true;
}

// Whether a word (holds_word) stands among the first three fields of a
// line, cut at word_separator, each without the blanks and one pair of
// double quotes around it.
bool word_among_first_fields(std::string_view t) {
  const std::vector<std::string_view> f = fields_of(t, word_separator(t));
  for (size_t i = 0; i < f.size() && i < 3; ++i) {
    if (holds_word(unquoted(trimmed(f[i])))) return true;
  }
  return false;
}

// Whether a date written year-month-day (`2024-05-01`) begins the line or
// a field of it: touching numbers as the line layout would read them, and
// words as a header's title holds them.
bool holds_date(std::string_view t) {
  constexpr std::string_view shape = "0000-00-00";
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (size_t i = 0; i + shape.size() <= t.size(); ++i) {
    if (i != 0 && !blank(t[i - 1]) && std::string_view(field_separators, sizeof field_separators).find(t[i - 1]) == std::string_view::npos) continue;
    size_t k = 0;
    while (k < shape.size() && (shape[k] == '0' ? digit(t[i + k]) : t[i + k] == '-')) ++k;
    const size_t e = i + k;
    if (k == shape.size() && (e == t.size() || !digit(t[e]))) return true;
  }
  return false;
}

// Whether a line before the first data line is a header line: it is the
// first line neither blank nor a comment and its first character cannot
// begin a number, or it holds a date, or a word stands
// among its first three fields while the line layout cannot read three
// numbers before the first of them.
bool header_like(std::string_view t, bool first) {
  if ((first && !begins_number(static_cast<unsigned char>(t.front()))) || holds_date(t)) return true;
  int columns = 0, numbers = 0;
  count_fields(t, columns, numbers);
  return numbers < 3 && word_among_first_fields(t);
}

}  // namespace

file_layout layout_of(std::string_view t) {
  for (char sep : field_separators) {
    if (int n = delimited_fields(t, sep); n != 0) return {point_layout::delimited, sep, n, 0, 0};
  }
  int columns, numbers;
  count_fields(t, columns, numbers);
  if (numbers == 3) return {point_layout::line, 0, columns, 0, 0};
  return {point_layout::free, 0, 0, 0, 0};
}

bool is_decimal_comma(std::string_view before, std::string_view after, char separator) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  auto ends_field = [separator](char c) { return is_blank(static_cast<unsigned char>(c)) || c == separator; };
  if (after.size() < 2 || after[0] != ',' || !digit(after[1])) return false;
  size_t i = before.size();
  while (i > 0 && digit(before[i - 1])) --i;
  if (i == before.size()) return false;
  if (i > 0) {
    const char c = before[i - 1];
    if (!ends_field(c) && c != '-' && c != '+' && c != '"') return false;
  }
  for (size_t k = 1; k < after.size() && !ends_field(after[k]); ++k) {
    if (after[k] == '.') return false;
  }
  return true;
}

line_decision decide_line(std::string_view line, const lines_before& before) {
  line_decision d{line_kind::blank, trimmed(line), 0, {point_layout::free, 0, 0, 0, 0}};
  const std::string_view t = d.text;
  const std::string_view h = before.header;
  int64_t count = 0;
  if (t.empty()) return d;
  // After a header, a line its names or row names fit is a data line, words and all.
  file_layout by_header{point_layout::free, 0, 0, 0, 0};
  const bool fits_header = !h.empty() && (named_layout(t, h, by_header) || row_name_layout(t, h, by_header));
  if (is_comment(t)) {
    d.kind = line_kind::comment;
  } else if (!h.empty() && t == h) {
    d.kind = line_kind::header_again;
  } else if (!fits_header && header_like(t, !before.seen_line)) {
    d.kind = line_kind::header;
  } else if (!before.count_seen && is_count(t, count)) {
    d.kind = line_kind::count;
    d.count = count;
  } else {
    d.kind = line_kind::data;
    d.layout = fits_header ? by_header : layout_of(t);
  }
  return d;
}

}  // namespace tessera
