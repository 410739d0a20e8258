// The layout decision: what a line before the points is (blank, a comment,
// the header, a count of points, or the first data line), and the layout
// and columns a data line shows. A pure function of a line's text and of
// what the lines before it told; the reader reads the lines and drives it
// one line at a time (record_reader.cpp), and the rules of record_reader.h
// are its own. Also the few character classes of lines that the tiers
// share with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "points/number_scan.h"
#include "points/record_reader.h"

namespace tessera {

// The first data line, and the header, are read whole up to this many
// bytes; a longer line is decided by the whole fields of its beginning.
constexpr size_t decide_line_max = line_text_max;

// The separators of the delimited layout, in the order a line is tried
// with them: a decimal comma never stands in a field, and neither a ';' nor
// a '|' can be a decimal mark.
constexpr char field_separators[] = {',', ';', '|'};

// The characters a number can begin with.
inline bool begins_number(int c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

// Whitespace within a line: all of it but the line feed.
inline bool is_blank(int c) { return c != '\n' && is_space(c); }

// A comment line, from its first non-blank character: #, //, % or >.
inline bool is_comment(std::string_view t) {
  return !t.empty() && (t[0] == '#' || t[0] == '%' || t[0] == '>' || t.substr(0, 2) == "//");
}

// Whether a reading that stopped at `after` (the line's text from there on)
// after `before` (the line's text before it) stopped at a decimal comma:
// digits alone (after the line's start, a blank, `separator`, a sign or a
// quote), a comma, a digit, and no point in the rest of the field (up to a
// blank or the separator): `12,5`, `"421,3"`, but not `1.5,2` nor `1,234.5`.
bool is_decimal_comma(std::string_view before, std::string_view after, char separator);

// What the lines before a line told the decision.
struct lines_before {
  std::string_view header;  // the header, once one was found, or empty
  bool seen_line;           // a line neither blank nor a comment (nor the header again) came
  bool count_seen;          // a line that may be a count of points came
};

enum class line_kind {
  blank,         // nothing but whitespace
  comment,       // a comment line
  header_again,  // the header, repeated
  header,        // a line before the first data line that holds a word (see decide_line)
  count,         // a whole number alone, before any other: may be a count of points
  data,          // the first data line
};

struct line_decision {
  line_kind kind;
  std::string_view text;  // the line without the whitespace around it
  int64_t count;          // a count: its value
  file_layout layout;     // a data line: the layout it shows (count_line and count_value 0)
};

// What `line` (the text of a line, without its line feed) is, after the
// lines `before`. Before the first data line, a line is a header line when
// it is the first neither blank nor a comment and its first character
// cannot begin a number (`X Y Z`, `nan 2 3`), when it holds a date written
// year-month-day (`2024-05-01 survey export`), or when a word stands among
// its first three fields (cut at the first of ',' and ';' it holds, or at
// blanks) and the line layout cannot read three numbers before it
// (`-- site 4 --`). A word is a letter (A to Z, a to z, or a byte of a UTF-8
// sequence) outside every number as the grammar reads them, so that the e
// of an exponent is none, and nor are nan, inf, infinity (any case, a sign
// or none, as a field or a run of letters) and 1.#INF, 1.#QNAN, 1.#IND as
// fields of their own. A line that
// the header's names or row names fit (a layout by names, row names) is a
// data line all the same.
line_decision decide_line(std::string_view line, const lines_before& before);

// The layout a data line shows: delimited if cut at ',' (or else ';', or
// else '|') it gives 3 or more fields that are each a number or nodata
// (number_scan.h) once the blanks
// around them and one pair of double quotes are taken off; else line if it
// begins with 3 numbers, as the line layout reads them, with its columns
// (the three and the whitespace-separated texts after the third); else
// free. (decide_line also finds, after a header, a first column of row
// names: file_layout::row_names.)
file_layout layout_of(std::string_view t);

}  // namespace tessera
