#include "points/header_columns.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace tessera {

namespace {

bool blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view trim(std::string_view t) {
  while (!t.empty() && blank(t.front())) t.remove_prefix(1);
  while (!t.empty() && blank(t.back())) t.remove_suffix(1);
  return t;
}

// A name as it is compared: trimmed, one pair of quotes off, a unit in
// brackets at its end off, the marks around it off, in lower case (ASCII, and the Ö of Höhe).
std::string plain_name(std::string_view f) {
  f = trim(f);
  if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = trim(f.substr(1, f.size() - 2));
  if (!f.empty() && (f.back() == ']' || f.back() == ')')) {
    const size_t open = f.rfind(f.back() == ']' ? '[' : '(');
    if (open != std::string_view::npos && open != 0) f = trim(f.substr(0, open));
  }
  // Marks around a name (`/x`, `*Z*`) are no part of it.
  const auto mark = [](char c) { return static_cast<unsigned char>(c) < 0x80 && std::isalnum(static_cast<unsigned char>(c)) == 0; };
  while (!f.empty() && mark(f.front())) f.remove_prefix(1);
  while (!f.empty() && mark(f.back())) f.remove_suffix(1);
  std::string n;
  for (size_t i = 0; i < f.size(); ++i) {
    const char c = f[i];
    if (c == '\xc3' && i + 1 < f.size() && f[i + 1] == '\x96') {  // Ö
      n += "\xc3\xb6";
      ++i;
    } else {
      n += c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    }
  }
  return n;
}

// The names of each axis, as plain_name gives them.
constexpr const char* x_names[] = {"x", "lon", "long", "longitude", "east", "easting", "e", "rechtswert"};
constexpr const char* y_names[] = {"y", "lat", "latitude", "north", "northing", "n", "hochwert"};
constexpr const char* z_names[] = {"z",      "alt", "altitude", "elev",  "elevation",
                                   "height", "h",   "hoehe",    "h\xc3\xb6he"};

template <size_t n>
bool is_one_of(const std::string& name, const char* const (&list)[n]) {
  for (const char* w : list) {
    if (name == w) return true;
  }
  return false;
}

// The next name of header `h` from `i`, cut at `sep` or at blanks: [i, e),
// a quoted name whole, a unit in brackets after a blank joined to the name
// before it (`Z [m]`: skipped, when names came before). False at the end.
bool next_name(std::string_view h, char sep, bool after_name, size_t& i, size_t& e) {
  if (sep != 0) {
    if (i > h.size()) return false;
    e = std::min(h.find(sep, i), h.size());
    return true;
  }
  for (;;) {
    while (i < h.size() && blank(h[i])) ++i;
    if (i >= h.size()) return false;
    e = i;
    // A quoted name is one name, blanks and all (`"Height (m)"`).
    if (h[i] == '"' && h.find('"', i + 1) != std::string_view::npos) e = h.find('"', i + 1);
    while (e < h.size() && !blank(h[e])) ++e;
    if (!after_name || (h[i] != '[' && h[i] != '(') || (h[e - 1] != ']' && h[e - 1] != ')')) return true;
    i = e;
  }
}

// Notes `name`, the header's column `column`, for the first axis it names
// that no column named before.
void note_axis(const std::string& name, int column, header_columns& r) {
  if (r.xyz[0] < 0 && is_one_of(name, x_names)) {
    r.xyz[0] = column;
  } else if (r.xyz[1] < 0 && is_one_of(name, y_names)) {
    r.xyz[1] = column;
  } else if (r.xyz[2] < 0 && is_one_of(name, z_names)) {
    r.xyz[2] = column;
  }
}

}  // namespace

header_columns columns_named(std::string_view h, char sep) {
  header_columns r{named_axes::none, {-1, -1, -1}, 0};
  size_t e = 0;
  for (size_t i = 0; next_name(h, sep, r.names > 0, i, e); i = e + 1) {
    const std::string_view field = h.substr(i, e - i);
    if (sep != 0 && e == h.size() && trim(field).empty() && r.names > 0) break;  // an empty last name
    note_axis(plain_name(field), r.names, r);
    ++r.names;
  }
  if (r.xyz[0] < 0 && r.xyz[1] < 0) return r;
  if (r.xyz[0] < 0 || r.xyz[1] < 0) {
    r.axes = r.xyz[0] < 0 ? named_axes::missing_x : named_axes::missing_y;
    return r;
  }
  r.axes = named_axes::found;
  for (int c = 0; r.xyz[2] < 0; ++c) {
    if (c != r.xyz[0] && c != r.xyz[1]) r.xyz[2] = c;
  }
  return r;
}

const char* axis_names(int axis) {
  return axis == 0 ? "x, lon, long, longitude, east, easting, e or rechtswert"
                   : "y, lat, latitude, north, northing, n or hochwert";
}

}  // namespace tessera
