// Random spellings of numbers and random point file texts for the tests and
// the fuzz targets: every spelling the grammar knows, and some it refuses.
#pragma once

#include <random>
#include <string>

namespace tessera {

// A number as people and programs write it: a sign or none, leading zeros,
// 1 to 40 digits with a point anywhere or nowhere, an exponent or none.
inline std::string random_spelling(std::mt19937_64& rng) {
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  std::string t;
  int sign = pick(3);
  if (sign == 1) t += '-';
  if (sign == 2) t += '+';
  int lead_zeros = pick(4) == 0 ? pick(6) : 0;
  t.append(size_t(lead_zeros), '0');
  static const int lengths[] = {1, 2, 3, 6, 9, 15, 16, 17, 18, 19, 20, 21, 25, 40};
  int n = lengths[pick(14)];
  std::string digits;
  for (int i = 0; i < n; ++i) digits += char('0' + pick(10));
  int point = pick(n + 2) - 1;  // -1: no point
  if (point < 0) {
    t += digits;
  } else {
    t += digits.substr(0, size_t(point));
    t += '.';
    t += digits.substr(size_t(point));
    if (point == 0 && t.back() == '.') t += '0';
  }
  if (pick(2) == 0) {
    t += "eE"[pick(2)];
    int es = pick(3);
    if (es == 1) t += '-';
    if (es == 2) t += '+';
    t += std::to_string(pick(330));
  }
  return t;
}

// A point file of mixed layouts: runs of lines alike (as real files have
// them) in the common shape, with odd spellings, blanks, tabs, CR LF, lines
// of 1, 2, 4 or 6 numbers, runs where a signed number follows the one before
// it at once, and now and then something that is not a number.
inline std::string random_point_text(std::mt19937_64& rng, int numbers) {
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  static const char* const odd[] = {"1e3", "-0", "+.5", "5.", "007.25", "1.2.3", "1-2", "0x1A", "abc", "-",
                                    ".",   "1e",  "nan", "12345678901234567890.5", "0.12345678901", "\x1a"};
  std::string text;
  int per_line = 3;
  int whole = 7, decimals = 2;
  bool touching = false;
  for (int i = 0; i < numbers; ++i) {
    if (i % 60 == 0) {  // a new run of lines
      static const int layouts[] = {3, 3, 3, 1, 2, 4, 6};
      per_line = layouts[pick(7)];
      whole = 1 + pick(16);
      decimals = pick(10);
      touching = pick(4) == 0;
    }
    std::string t;
    if (pick(200) == 0) {
      t = odd[pick(16)];
    } else {
      if (pick(4) == 0) t += touching && pick(2) == 0 ? '+' : '-';
      for (int k = 0; k < whole; ++k) t += char('0' + (k == 0 && whole > 1 ? 1 + pick(9) : pick(10)));
      if (decimals > 0 || pick(8) == 0) t += '.';
      for (int k = 0; k < decimals; ++k) t += char('0' + pick(10));
    }
    if (i % per_line != 0 && !(touching && (t[0] == '-' || t[0] == '+'))) {
      text += pick(30) == 0 ? "\t" : pick(30) == 0 ? "  " : " ";
    }
    text += t;
    if ((i + 1) % per_line == 0) {
      text += pick(20) == 0 ? "\r\n" : "\n";
      if (pick(100) == 0) text += "\n";
    }
  }
  return text;
}

// A point file as programs write them, in one of the layouts: a byte-order
// mark, comment lines, a header, a point count or none; then lines of
// points, now and then a blank line, a comment, the header again (after a
// byte-order mark, as joined files give it, or not), a nan, a
// short line, a word, a quoted field, a trailing separator, an odd spelling
// or a decimal comma; line ends LF, CR LF or a lone CR. Whitespace files are
// now and then in fixed-width columns, where a value that fills its field
// touches the one before it.
inline std::string random_layout_text(std::mt19937_64& rng, int lines) {
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  const int form = pick(6);  // 0 free, 1 three columns, 2 more columns, 3 commas, 4 semicolons, 5 bars
  const char sep = form == 3 ? ',' : form == 4 ? ';' : form == 5 ? '|' : ' ';
  const int columns = form == 0 ? 1 + pick(2) : form == 1 ? 3 : 3 + pick(7);
  static const char* const ends[] = {"\n", "\r\n", "\r"};
  const char* end = ends[pick(8) == 0 ? 1 + pick(2) : 0];
  // Fixed-width columns of this many characters, or 0.
  const size_t width = (form == 1 || form == 2) && pick(3) == 0 ? size_t(8 + pick(3)) : 0;
  static const char* const headers[] = {"X Y Z", "x,y,z", "\"X\";\"Y\";\"Z\"", "//X Y Z R G B", "Easting Northing",
                                        "nx ny nz", "\"x\" \"y\"", ",x,y,z", "\"\" \"x\" \"y\" \"z\"",
                                        "id,Z,Y,X,code", "Z Y X", "pt;n;e;\"H [m]\"", "Latitude", ",z,y,x"};
  std::string header = headers[pick(14)];
  // A first column of row names: a line's number, or quoted.
  const int row_names = form != 0 ? pick(3) : 0;
  std::string text;
  if (pick(10) == 0) text += "\xef\xbb\xbf";
  if (pick(4) == 0) text += std::string("# made by a program") + end;
  bool with_header = pick(2) == 0;
  if (with_header) text += header + end;
  if (pick(5) == 0) text += std::to_string(pick(3) == 0 ? lines : pick(100000)) + end;
  auto number = [&]() -> std::string {
    if (pick(400) == 0) return random_spelling(rng);
    std::string t = pick(4) == 0 ? "-" : "";
    t += std::to_string(pick(1000000)) + "." + std::to_string(pick(100));
    if (form != 0 && pick(100) == 0) t += pick(2) == 0 ? "D+0" : "d-1";  // a Fortran exponent
    if (sep != ' ' && pick(60) == 0) t = "\"" + t + "\"";
    return t;
  };
  for (int i = 0; i < lines; ++i) {
    std::string line;
    if (pick(20) == 0) {  // lines that are skipped, or points with odd columns
      static const char* const others[] = {"", "  ", "# comment", "  // note", "% x", "> segment"};
      line = others[pick(6)];
      if (pick(6) == 0) line = pick(2) == 0 ? header : "\xef\xbb\xbf" + header;  // a joined file's mark
      std::string s1(1, sep);
      if (form != 0 && pick(3) == 0) {
        static const char* const nans[] = {"nan", "NaN", "-nan", "+NAN", "inf", "-Infinity", "1.#INF",
                                           "-1.#IND00", "1.#QNAN", "\"nan\"", "\"-inf\""};
        std::string n = nans[pick(sep == ' ' ? 9 : 11)];
        int at = pick(3);
        line = (at == 0 ? n : "1") + s1 + (at == 1 ? n : "2") + s1 + (at == 2 ? n : "3");
      } else if (form >= 2 && pick(3) == 0) {
        line = "\t1" + s1 + " 2 " + s1 + "3" + s1 + (sep == ' ' ? "x\ty  z " : " x ; ; y ,,");
      }
    } else if (pick(400) == 0) {  // lines that stop the reading, in some layout
      static const char* const others[] = {"word", "1 2", "1,2", "1,2,", "1 2 3abc", "12,5 3,4 5,6", "0x1A 1 2",
                                           "1,,3,4", "\x01\x02", "1e999 2 3", "+-1 2 3", "/ 1 2",
                                           "5inf 2 3", "1.#INFx 2 3", "1 1.#IN 3", "1 2 3d", "1|2|3"};
      line = others[pick(17)];
    } else {
      for (int k = 0; k < columns; ++k) {
        std::string field = k >= 3 && pick(10) == 0 ? std::string(pick(4) == 0 ? "" : "red") : number();
        if (width != 0) {
          line += std::string(field.size() < width ? width - field.size() : 0, ' ') + field;
          continue;
        }
        if (k != 0) line += sep == ' ' ? (pick(20) == 0 ? "\t" : " ") : (pick(10) == 0 ? std::string(1, sep) + " " : std::string(1, sep));
        line += field;
      }
      if (row_names == 1) line = std::to_string(i) + sep + line;
      if (row_names == 2) line = "\"" + std::to_string(i) + "\"" + sep + line;
      if (sep != ' ' && pick(20) == 0) line += sep;
    }
    text += line + end;
  }
  return text;
}

}  // namespace tessera
