// A plain, slow reader of point files, written line by line from the rules
// of the layouts, for checking record_reader against: it cleans the whole
// text first, cuts it into lines, decides the layout from the first data
// line, and reads each line on its own. Numbers are read with the one
// number grammar (scan_decimal, an exponent marked by d as by e in the line
// and delimited layouts): in the free and line layouts a number ends where
// the grammar stops, and the next may follow at once. Everything about
// lines, fields, comments, headers, nodata and counts is its own.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "points/header_columns.h"
#include "whole_pass.h"

namespace tessera {

namespace plain {

inline bool space(char c) { return is_space(static_cast<unsigned char>(c)); }

inline std::string_view trim(std::string_view t) {
  while (!t.empty() && space(t.front())) t.remove_prefix(1);
  while (!t.empty() && space(t.back())) t.remove_suffix(1);
  return t;
}

// A whole number token: sign and digits as the grammar reads them, all of it.
inline bool number(std::string_view t, double& v) {
  std::string z(t);
  text_source s{z.c_str()};
  decimal_number d;
  return !z.empty() && scan_decimal<true>(s, d) && s.p == z.c_str() + z.size() && decimal_to_double(d, v);
}

// A missing value: nan, inf, infinity, or an old Windows runtime's 1.#INF,
// 1.#QNAN, 1.#IND padded with zeros; any case, a sign or none.
inline bool nan_text(std::string_view t) {
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.remove_prefix(1);
  std::string w;
  for (char c : t) w += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (w == "nan" || w == "inf" || w == "infinity") return true;
  if (w.substr(0, 3) != "1.#") return false;
  while (w.size() > 3 && w.back() == '0') w.pop_back();
  return w == "1.#inf" || w == "1.#qnan" || w == "1.#ind";
}

// A field's value: 1 a number, 2 nan, 0 neither.
inline int field_value(std::string_view t, double& v) {
  if (nan_text(t)) return 2;
  if (!t.empty() && (t[0] == '+' || t[0] == '-') && t.size() > 1 && (t[1] == '+' || t[1] == '-')) return 0;
  return number(t, v) ? 1 : 0;
}

inline std::vector<std::string_view> words(std::string_view t) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < t.size()) {
    while (i < t.size() && space(t[i])) ++i;
    size_t b = i;
    while (i < t.size() && !space(t[i])) ++i;
    if (i > b) out.push_back(t.substr(b, i - b));
  }
  return out;
}

// The start of a line of the line layout as its rules read it: X, Y and Z
// are its first three numbers, each read by the grammar where the one before
// it ended, after any blanks (none too); nan (any case, a sign or none) only
// as a whole word, and a whole word that begins 1.# and is no nodata
// spelling is no number. `rest` is what follows the third.
struct line_start {
  int numbers;  // how many were read, up to 3
  bool bad;     // reading stopped at text that is no number
  bool nan;     // one of them is nan
  std::string_view rest;
};

inline line_start read_line_start(std::string_view t, double (&p)[3]) {
  line_start out{0, false, false, {}};
  const std::string z(t);
  size_t i = 0;
  for (; out.numbers < 3; ++out.numbers) {
    size_t b = i;
    while (i < z.size() && space(z[i])) ++i;
    if (i == z.size()) break;
    size_t e = i;
    while (e < z.size() && !space(z[e])) ++e;
    const std::string_view word = std::string_view(z).substr(i, e - i);
    if ((i == 0 || i > b) && nan_text(word)) {
      out.nan = true;
      i = e;
      continue;
    }
    // As a field of its own, 1.# begins a runtime's nodata spelling or nothing.
    const std::string_view unsigned_word = word.substr(word[0] == '+' || word[0] == '-' ? 1 : 0);
    if ((i == 0 || i > b) && unsigned_word.substr(0, 3) == "1.#") {
      out.bad = true;
      break;
    }
    text_source s{z.c_str() + i};
    decimal_number d;
    if (!scan_decimal<true>(s, d) || !decimal_to_double(d, p[out.numbers])) {
      out.bad = true;
      break;
    }
    i = size_t(s.p - z.c_str());
  }
  out.rest = t.substr(std::min(i, t.size()));
  return out;
}

inline std::vector<std::string_view> cut(std::string_view t, char sep) {
  std::vector<std::string_view> out;
  for (size_t b = 0;;) {
    size_t e = t.find(sep, b);
    out.push_back(t.substr(b, e == std::string_view::npos ? std::string_view::npos : e - b));
    if (e == std::string_view::npos) return out;
    b = e + 1;
  }
}

// A delimited field without the blanks around it and one pair of quotes.
inline std::string_view unquote(std::string_view f) {
  f = trim(f);
  if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
  return f;
}

inline bool is_comment(std::string_view t) {
  return !t.empty() && (t[0] == '#' || t[0] == '%' || t[0] == '>' || t.substr(0, 2) == "//");
}

inline bool begins_number(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

// The layout a data line shows.
inline file_layout layout_of(std::string_view t) {
  for (char sep : {',', ';', '|'}) {
    if (t.find(sep) == std::string_view::npos) continue;
    std::vector<std::string_view> f = cut(t, sep);
    if (trim(f.back()).empty()) f.pop_back();
    bool all = f.size() >= 3;
    double v;
    for (std::string_view x : f) all = all && field_value(unquote(x), v) != 0;
    if (all) return {point_layout::delimited, sep, int(f.size()), 0, 0};
  }
  double p[3];
  line_start l = read_line_start(t, p);
  if (l.numbers == 3) return {point_layout::line, 0, 3 + int(words(l.rest).size()), 0, 0};
  return {point_layout::free, 0, 0, 0, 0};
}

// A first data line whose first column holds row names, after `header`:
// the header leaves that column unnamed, or names one column fewer than
// the line holds and the line's first field is quoted; what follows the first field has a line or delimited layout of its
// own, with the same separator.
inline bool row_names(std::string_view t, std::string_view header, file_layout& l) {
  for (char sep : {',', ';', '|', '\0'}) {
    const size_t at = sep != 0 ? t.find(sep) : t.find_first_of(" \t\v\f\r");
    if (at == std::string_view::npos) continue;
    const std::string_view first = trim(t.substr(0, at));
    const file_layout r = layout_of(trim(t.substr(at + 1)));
    if (r.kind == point_layout::free || r.separator != sep) continue;
    std::vector<std::string_view> names = sep != 0 ? cut(header, sep) : words(header);
    const bool unnamed = names.size() > 1 && unquote(names[0]).empty();
    if (sep != 0 && trim(names.back()).empty()) names.pop_back();
    const bool looks = first.size() >= 2 && first.front() == '"' && first.back() == '"';
    if (!unnamed && !(int(names.size()) == r.columns && looks)) continue;
    l = r;
    l.columns = r.columns + 1;
    l.row_names = true;
    return true;
  }
  return false;
}

// The fields of a line as a layout by names cuts them: at `sep` (an empty
// last one is nothing), or its words.
inline std::vector<std::string_view> fields(std::string_view t, char sep) {
  if (sep == 0) return words(t);
  std::vector<std::string_view> f = cut(t, sep);
  if (f.size() > 1 && trim(f.back()).empty()) f.pop_back();
  return f;
}

// Before the first data line, beyond the first line's own rule: a line
// holding a date (dddd-dd-dd at its start or a field's), or a word (a letter
// outside the numbers the grammar reads, not nan, inf or infinity) among
// its first three fields while it does not begin with three numbers.
inline bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80; }

inline bool no_value(std::string_view w) {
  std::string l;
  for (char c : w) l += char(std::tolower(static_cast<unsigned char>(c)));
  if (!l.empty() && (l[0] == '-' || l[0] == '+')) l.erase(0, 1);
  return l == "nan" || l == "inf" || l == "infinity" || l == "1.#inf" || l == "1.#qnan" || l == "1.#ind";
}

inline bool word_in(std::string_view f) {
  if (no_value(f)) return false;
  const std::string z(f);
  size_t i = 0;
  while (i < z.size()) {
    if (begins_number(z[i])) {
      text_source s{z.c_str() + i};
      decimal_number d;
      const bool read = scan_decimal<true>(s, d) && s.p > z.c_str() + i;
      i = read ? size_t(s.p - z.c_str()) : i + 1;
    } else if (letter(z[i])) {
      size_t e = i;
      while (e < z.size() && letter(z[e])) ++e;
      if (!no_value(std::string_view(z).substr(i, e - i))) return true;
      i = e;
    } else {
      ++i;
    }
  }
  return false;
}

inline bool header_line(std::string_view t) {
  for (size_t i = 0; i + 10 <= t.size(); ++i) {
    if (i > 0 && !space(t[i - 1]) && t[i - 1] != ',' && t[i - 1] != ';' && t[i - 1] != '|') continue;
    bool date = i + 10 == t.size() || !std::isdigit(static_cast<unsigned char>(t[i + 10]));
    for (size_t k = 0; k < 10 && date; ++k) {
      date = k == 4 || k == 7 ? t[i + k] == '-' : std::isdigit(static_cast<unsigned char>(t[i + k])) != 0;
    }
    if (date) return true;
  }
  double p[3];
  if (read_line_start(t, p).numbers == 3) return false;
  const char sep = t.find(',') != std::string_view::npos   ? ','
                   : t.find(';') != std::string_view::npos ? ';'
                   : t.find('|') != std::string_view::npos ? '|'
                                                           : '\0';
  const std::vector<std::string_view> f = fields(t, sep);
  for (size_t k = 0; k < f.size() && k < 3; ++k) {
    if (word_in(unquote(f[k]))) return true;
  }
  return false;
}

// A first data line after a header whose names (columns_named, tested on
// its own) put X, Y and Z elsewhere than the first three columns: the
// header and the line cut at the first of ',', ';' and '|' both hold, or at
// blanks if the line holds neither; one name short of a line whose
// first field is quoted, the names are those of the last columns; right
// after an unnamed (or such a) first column, a layout with row names if the
// line has one. A header naming one of X and Y alone: no points.
inline bool by_names(std::string_view t, std::string_view header, file_layout& l) {
  char sep = 0;
  for (char c : {'|', ';', ','}) {
    if (t.find(c) != std::string_view::npos && header.find(c) != std::string_view::npos) sep = c;
  }
  if (sep == 0 && t.find_first_of(",;|") != std::string_view::npos) return false;
  const header_columns n = columns_named(header, sep);
  if (n.axes == named_axes::missing_x || n.axes == named_axes::missing_y) {
    l = {point_layout::free, 0, 0, 0, 0};
    l.unnamed_axis = n.axes == named_axes::missing_x ? 'X' : 'Y';
    return true;
  }
  if (n.axes != named_axes::found) return false;
  const std::vector<std::string_view> f = fields(t, sep);
  const std::string_view first = trim(f[0]);
  const int shift = int(f.size()) == n.names + 1 && first.size() >= 2 && first.front() == '"' && first.back() == '"';
  const int xyz[3] = {n.xyz[0] + shift, n.xyz[1] + shift, n.xyz[2] + shift};
  if (xyz[0] == 0 && xyz[1] == 1 && xyz[2] == 2) return false;
  const size_t cut_at = sep != 0 ? header.find(sep) : header.find_first_of(" \t\v\f\r");
  const bool unnamed = cut_at != std::string_view::npos && unquote(header.substr(0, cut_at)).empty();
  if (xyz[0] == 1 && xyz[1] == 2 && xyz[2] == 3 && (shift == 1 || unnamed) && row_names(t, header, l)) return true;
  if (size_t(std::max({xyz[0], xyz[1], xyz[2]})) >= f.size()) return false;
  for (int c : xyz) {
    if (word_in(unquote(f[size_t(c)]))) return false;
  }
  l = {sep != 0 ? point_layout::delimited : point_layout::line, sep, int(f.size()), 0, 0};
  l.by_names = true;
  for (int k = 0; k < 3; ++k) l.xyz[k] = xyz[k];
  return true;
}

inline std::string written(const double (&p)[3], const std::string& extras) {
  char text[1100];
  std::snprintf(text, sizeof text, "%f %f %f", p[0], p[1], p[2]);
  return text + extras + "\r\n";
}

// Reads `bytes` as a point file: records, written text, end, stop (line,
// record and the count of a short line), layout, header line, skipped
// lines. Stop texts and offsets are not compared.
inline whole_pass read(const std::string& bytes) {
  whole_pass out{};
  out.layout = {point_layout::free, 0, 0, 0, 0};
  std::string text = bytes.substr(0, 3) == "\xef\xbb\xbf" ? bytes.substr(3) : bytes;
  text = text.substr(0, text.find('\x1a'));
  std::string clean;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      clean += text[i];
    } else if (i + 1 == text.size() || text[i + 1] != '\n') {
      clean += '\n';
    }
  }
  std::vector<std::string_view> lines = cut(clean, '\n');
  if (!clean.empty() && clean.back() == '\n') lines.pop_back();
  if (clean.empty()) lines.clear();
  std::string header;
  auto skip = [&](line_tally& t, size_t i) {
    if (t.count++ == 0) t.first_line = int64_t(i + 1);
  };
  auto not_data = [&](std::string_view t) { return is_comment(t) || (!header.empty() && t == header); };
  // Among the points, a comment or the header again may follow a
  // byte-order mark (files joined with `cat`).
  auto not_point = [&](std::string_view t) {
    if (t.substr(0, 3) == "\xef\xbb\xbf") t.remove_prefix(3);
    return not_data(t);
  };

  // The lines before the points.
  size_t start = lines.size();
  size_t second_header = lines.size();
  bool seen = false;
  size_t count_at = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view t = trim(lines[i]);
    if (t.empty()) continue;
    if (not_data(t)) {
      if (count_at == lines.size()) skip(out.skipped, i);
      continue;
    }
    file_layout fits{point_layout::free, 0, 0, 0, 0};
    const bool fitting = !header.empty() && (by_names(t, header, fits) || row_names(t, header, fits));
    if (!fitting && ((!seen && !begins_number(t[0])) || header_line(t))) {
      seen = true;
      if (header.empty()) {
        header = t;
        out.header_line = int64_t(i + 1);
      } else if (second_header == lines.size()) {
        second_header = i;
      }
      continue;
    }
    seen = true;
    bool digits = !t.empty() && t.size() <= 18 && t.find_first_not_of("0123456789") == std::string_view::npos;
    if (count_at == lines.size() && digits) {
      count_at = i;
      continue;
    }
    out.layout = fitting ? fits : layout_of(t);
    start = i;
    if (count_at != lines.size()) {
      if (out.layout.kind == point_layout::free) {
        start = count_at;
      } else {
        start = count_at + 1;
        out.layout.count_line = int64_t(count_at + 1);
        out.layout.count_value = std::stoll(std::string(trim(lines[count_at])));
      }
    }
    break;
  }
  if (start == lines.size() && count_at != lines.size()) start = count_at;
  // Header lines and no data line: the second is read as points.
  if (start == lines.size() && count_at == lines.size() && second_header != lines.size()) {
    start = second_header;
    out.layout = layout_of(trim(lines[start]));
  }
  if (out.layout.unnamed_axis != 0) {
    out.end = read_status::end_of_data;
    return out;
  }

  auto stop = [&](read_status s, size_t line, int numbers) {
    out.end = s;
    out.stop.line = int64_t(line + 1);
    out.stop.record = int64_t(out.records.size() + 1);
    out.stop.numbers = numbers;
    return out;
  };
  auto take = [&](const double (&p)[3], const std::string& extras) {
    out.records.push_back({p[0], p[1], p[2]});
    out.written += written(p, extras);
  };

  if (out.layout.kind == point_layout::free) {
    double p[3];
    int n = 0;
    size_t last_line = 0;
    for (size_t i = start; i < lines.size(); ++i) {
      std::string_view line = lines[i];
      std::string_view t = trim(line);
      if (t.empty()) continue;
      if (!begins_number(t[0])) {
        if (not_point(t)) {
          skip(out.skipped, i);
          continue;
        }
        return stop(read_status::not_a_number, i, 0);
      }
      // Numbers read greedily, as many as the line holds.
      std::string z(line);
      text_source s{z.c_str()};
      for (;;) {
        while (space(char(s.peek()))) s.bump();
        if (s.peek() == 0 && s.p == z.c_str() + z.size()) break;
        decimal_number d;
        if (!scan_decimal(s, d) || !decimal_to_double(d, p[n])) return stop(read_status::not_a_number, i, 0);
        last_line = i;
        if (++n == 3) {
          take(p, "");
          n = 0;
        }
      }
    }
    if (n != 0) return stop(read_status::cut_short, last_line, 0);
    out.end = read_status::end_of_data;
    return out;
  }

  const char sep = out.layout.separator;
  for (size_t i = start; i < lines.size(); ++i) {
    std::string_view t = trim(lines[i]);
    if (t.empty()) continue;
    if (not_point(t)) {
      skip(out.skipped, i);
      continue;
    }
    double p[3];
    bool nan = false;
    std::string extras;
    if (out.layout.by_names) {
      const std::vector<std::string_view> f = fields(t, sep);
      const int* xyz = out.layout.xyz;
      if (int(f.size()) <= std::max({xyz[0], xyz[1], xyz[2]})) return stop(read_status::short_line, i, int(f.size()));
      for (int k = 0; k < 3; ++k) {
        const int v = field_value(unquote(f[size_t(xyz[k])]), p[k]);
        if (v == 0) return stop(read_status::not_a_number, i, 0);
        nan |= v == 2;
      }
      for (int k = 0; k < int(f.size()); ++k) {
        if (k == xyz[0] || k == xyz[1] || k == xyz[2]) continue;
        extras += " " + (trim(f[size_t(k)]).empty() ? std::string("\"\"") : std::string(trim(f[size_t(k)])));
      }
      if (nan) {
        skip(out.nodata, i);
      } else {
        take(p, extras);
      }
      continue;
    }
    std::string_view body = lines[i];
    std::string row;
    if (out.layout.row_names) {
      const size_t at = sep != 0 ? t.find(sep) : t.find_first_of(" \t\v\f\r");
      if (at == std::string_view::npos || trim(t.substr(at + 1)).empty()) return stop(read_status::short_line, i, 0);
      row = std::string(trim(t.substr(0, at)));
      body = sep != 0 ? lines[i].substr(lines[i].find(sep) + 1) : t.substr(at + 1);
      t = trim(body);
    }
    if (sep == 0) {
      line_start l = read_line_start(t, p);
      if (l.bad) return stop(read_status::not_a_number, i, 0);
      if (l.numbers < 3) return stop(read_status::short_line, i, l.numbers);
      // A decimal comma right after Z is no extra column.
      if (l.rest.size() >= 2 && l.rest[0] == ',' && l.rest[1] >= '0' && l.rest[1] <= '9') {
        return stop(read_status::not_a_number, i, 0);
      }
      nan = l.nan;
      for (std::string_view w : words(l.rest)) extras += " " + std::string(w);
    } else {
      std::vector<std::string_view> f = cut(body, sep);
      for (size_t k = 0; k < 3; ++k) {
        bool last = k + 1 == f.size();
        if (k >= f.size() || (last && trim(f[k]).empty())) return stop(read_status::short_line, i, int(k));
        std::string_view x = trim(f[k]);
        int v = x.size() >= 2 && x.front() == '"' && x.back() == '"' ? field_value(x.substr(1, x.size() - 2), p[k])
                                                                     : field_value(x, p[k]);
        if (v == 0) return stop(read_status::not_a_number, i, 0);
        nan |= v == 2;
      }
      if (f.size() > 3 && trim(f.back()).empty()) f.pop_back();
      for (size_t k = 3; k < f.size(); ++k) extras += " " + (trim(f[k]).empty() ? std::string("\"\"") : std::string(trim(f[k])));
    }
    if (nan) {
      skip(out.nodata, i);
      continue;
    }
    if (out.layout.row_names) extras = " " + (row.empty() ? std::string("\"\"") : row) + extras;
    take(p, extras);
  }
  out.end = read_status::end_of_data;
  return out;
}

// What differs between the reader's pass and the plain one, or "".
inline std::string difference(const whole_pass& a, const whole_pass& b) {
  if (a.records.size() != b.records.size()) {
    return "record counts " + std::to_string(a.records.size()) + " / " + std::to_string(b.records.size());
  }
  for (size_t i = 0; i < a.records.size(); ++i) {
    if (std::memcmp(&a.records[i], &b.records[i], sizeof(point_record)) != 0) return "record " + std::to_string(i);
  }
  if (a.end != b.end) return "ends " + std::to_string(int(a.end)) + " / " + std::to_string(int(b.end));
  if (a.written != b.written) return "written texts";
  if (a.header_line != b.header_line) return "header lines";
  if (!same_layout(a.layout, b.layout)) return "layouts";
  if (a.skipped.count != b.skipped.count || a.skipped.first_line != b.skipped.first_line) return "skipped lines";
  if (a.nodata.count != b.nodata.count || a.nodata.first_line != b.nodata.first_line) return "nodata lines";
  if (a.end != read_status::end_of_data &&
      (a.stop.line != b.stop.line || a.stop.record != b.stop.record ||
       (a.end == read_status::short_line && a.stop.numbers != b.stop.numbers))) {
    return "stops at line " + std::to_string(a.stop.line) + " / " + std::to_string(b.stop.line);
  }
  return "";
}

}  // namespace plain

}  // namespace tessera
