// The layout decision alone, from a line's text: no file, no reader.
#include "points/layout_decision.h"

#include "points/header_columns.h"

#include <gtest/gtest.h>

#include <string>

using namespace tessera;

namespace {

TEST(LayoutDecision, EachKindOfLine) {
  struct row {
    std::string line;
    lines_before before;
    line_kind kind;
    point_layout layout;  // a data line's
    char separator;
    int columns;
    int64_t count;
    bool row_names = false;
    int xyz[3] = {0, 1, 2};  // by the header's names, when not these
  };
  const lines_before first{"", false, false};        // nothing but blanks and comments before
  const lines_before after_header{"X Y Z", true, false};
  const lines_before after_count{"", true, true};
  const lines_before after_index{",x,y,z", true, false};
  const lines_before after_names{"\"x\" \"y\" \"z\"", true, false};
  const row rows[] = {
      {"", first, line_kind::blank, point_layout::free, 0, 0, 0},
      {" \t ", first, line_kind::blank, point_layout::free, 0, 0, 0},
      {"# made by a scanner", first, line_kind::comment, point_layout::free, 0, 0, 0},
      {"  // a note", after_header, line_kind::comment, point_layout::free, 0, 0, 0},
      {"X Y Z", first, line_kind::header, point_layout::free, 0, 0, 0},
      {"X Y Z  ", after_header, line_kind::header_again, point_layout::free, 0, 0, 0},
      {"/x/y/z", first, line_kind::header, point_layout::free, 0, 0, 0},
      {"1200", first, line_kind::count, point_layout::free, 0, 0, 1200},
      {"1200", after_count, line_kind::data, point_layout::free, 0, 0, 0},
      {"1 2", first, line_kind::data, point_layout::free, 0, 0, 0},
      {"1 2 3", first, line_kind::data, point_layout::line, 0, 3, 0},
      {"636295.33 848905.10 -421.30 12 abc", after_header, line_kind::data, point_layout::line, 0, 5, 0},
      {"-91.13-100000.13+5", first, line_kind::data, point_layout::line, 0, 3, 0},
      {"1 2 3abc", first, line_kind::data, point_layout::line, 0, 4, 0},
      {"nan 2 3", first, line_kind::header, point_layout::free, 0, 0, 0},
      {"nan 2 3", after_header, line_kind::data, point_layout::line, 0, 3, 0},
      {"1,2,3", first, line_kind::data, point_layout::delimited, ',', 3, 0},
      {"1 ; \"2\" ; 3 ; 4;", first, line_kind::data, point_layout::delimited, ';', 4, 0},
      {"1|2|3|abc", first, line_kind::data, point_layout::free, 0, 0, 0},
      {"x|y|z", first, line_kind::header, point_layout::free, 0, 0, 0},
      {"1|\"2\" | 3|", after_header, line_kind::data, point_layout::delimited, '|', 3, 0},
      {"1.#INF -1.#IND00 -Infinity", after_header, line_kind::data, point_layout::line, 0, 3, 0},
      {"1 2 5inf", after_header, line_kind::data, point_layout::line, 0, 4, 0},  // inf only as a field of its own
      {"1 inf5 2", after_header, line_kind::data, point_layout::free, 0, 0, 0},
      {"1;INF;+1.#QNAN", after_header, line_kind::data, point_layout::delimited, ';', 3, 0},
      {"6.36295330D+05 8.48905100d+05 4.213D2", first, line_kind::data, point_layout::line, 0, 3, 0},
      {"1,2", first, line_kind::data, point_layout::free, 0, 0, 0},
      {"1,2,x", first, line_kind::header, point_layout::free, 0, 0, 0},
      {"abc", after_header, line_kind::header, point_layout::free, 0, 0, 0},  // a second header line
      // Row names: a first column the header leaves unnamed, or one name fewer than the line's columns.
      {"0,636000.0,848000.0,400", after_index, line_kind::data, point_layout::delimited, ',', 4, 0, true},
      {"a7,636000.0,848000.0,400", after_index, line_kind::data, point_layout::delimited, ',', 4, 0, true},
      {"\"1\" 636000 848000 400", after_names, line_kind::data, point_layout::line, 0, 4, 0, true},
      {"12 636000 848000 400", after_header, line_kind::data, point_layout::line, 0, 4, 0},
      {"12 636000 848000 400", after_names, line_kind::data, point_layout::line, 0, 4, 0},
      {"1.5 636000 848000 400", after_names, line_kind::data, point_layout::line, 0, 4, 0},
      {"12 636000 848000 400 7", after_names, line_kind::data, point_layout::line, 0, 5, 0},
      {"\"1\";2;3;4", {"x;y;z", true, false}, line_kind::data, point_layout::delimited, ';', 4, 0, true},
      {"1,2,3", after_index, line_kind::data, point_layout::delimited, ',', 3, 0},
      // X, Y and Z where the header's names put them, whatever the line holds there.
      {"7,400,848000,636000,GR", {"id,Z,Y,X,code", true, false}, line_kind::data, point_layout::delimited, ',', 5, 0,
       false, {3, 2, 1}},
      {"a 4 5 6", {"Name Easting Northing Height", true, false}, line_kind::data, point_layout::line, 0, 4, 0, false,
       {1, 2, 3}},
      {"\"a\" 3 2 1", {"\"z\" \"y\" \"x\"", true, false}, line_kind::data, point_layout::line, 0, 4, 0, false,
       {3, 2, 1}},
      {"\"a\",1,2,3", {"\"x\",\"y\",\"z\"", true, false}, line_kind::data, point_layout::delimited, ',', 4, 0, true},
      {"1;2;3;4,5", {"z;y;x;i", true, false}, line_kind::data, point_layout::delimited, ';', 4, 0, false, {2, 1, 0}},
      {"1 2 3", {"Z,Y,X", true, false}, line_kind::data, point_layout::line, 0, 3, 0},  // not cut as the line
      {"1 2", {"Y X Z", true, false}, line_kind::data, point_layout::free, 0, 0, 0},  // too few columns
      // Every line that holds a word before the first data line is a header line.
      {"2024-05-01 survey export", first, line_kind::header, point_layout::free, 0, 0, 0},
      {"-- site 4 --", first, line_kind::header, point_layout::free, 0, 0, 0},
      {"m m m", after_header, line_kind::header, point_layout::free, 0, 0, 0},
      {"-,m,m,m", {"id,Z,Y,X", true, false}, line_kind::header, point_layout::free, 0, 0, 0},
      {"P1,1,2,3", {"Name,Easting,Northing,Height", true, false}, line_kind::data, point_layout::delimited, ',', 4, 0,
       false, {1, 2, 3}},
      {"12,5 3 4", first, line_kind::data, point_layout::free, 0, 0, 0},
      {"1e999 2 3", first, line_kind::data, point_layout::free, 0, 0, 0},
      {"1 2nan", first, line_kind::data, point_layout::free, 0, 0, 0},
      {"-inf 2", first, line_kind::data, point_layout::free, 0, 0, 0},
      {"1 2 -1.#IND", after_header, line_kind::data, point_layout::line, 0, 3, 0},  // no word: not a header line
      {"-91.13-100000.13-5.5 17 x", first, line_kind::data, point_layout::line, 0, 5, 0},
  };
  for (const row& r : rows) {
    const line_decision d = decide_line(r.line, r.before);
    EXPECT_EQ(d.kind, r.kind) << r.line;
    EXPECT_EQ(d.count, r.count) << r.line;
    if (r.kind != line_kind::data) continue;
    EXPECT_EQ(d.layout.kind, r.layout) << r.line;
    EXPECT_EQ(d.layout.separator, r.separator) << r.line;
    EXPECT_EQ(d.layout.columns, r.columns) << r.line;
    EXPECT_EQ(d.layout.count_line, 0) << r.line;
    EXPECT_EQ(d.layout.row_names, r.row_names) << r.line;
    const bool named = r.xyz[0] != 0 || r.xyz[1] != 1 || r.xyz[2] != 2;
    EXPECT_EQ(d.layout.by_names, named) << r.line;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(d.layout.xyz[k], r.xyz[k]) << r.line << " axis " << k;
  }
}

// The columns a header names, from its text alone.
TEST(LayoutDecision, TheHeaderNamesTheColumns) {
  struct row {
    std::string header;
    char separator;
    named_axes axes;
    int x, y, z;
  };
  const row rows[] = {
      {"X Y Z", 0, named_axes::found, 0, 1, 2},
      {"id,Z,Y,X,code", ',', named_axes::found, 3, 2, 1},
      {"No,Latitude,Longitude,Name,Altitude", ',', named_axes::found, 2, 1, 4},
      {"Pt,N,E,Z", ',', named_axes::found, 2, 1, 3},
      {"\"Rechtswert\";\"Hochwert\";\"H\u00f6he\"", ';', named_axes::found, 0, 1, 2},
      {"HOEHE E N", 0, named_axes::found, 1, 2, 0},
      {"Z [m] Y [m] X [m]", 0, named_axes::found, 2, 1, 0},
      {"pt \"Height (m)\" lat lon", 0, named_axes::found, 3, 2, 1},
      {"lon lat depth", 0, named_axes::found, 0, 1, 2},
      {"depth,lon,lat", ',', named_axes::found, 1, 2, 0},
      {"/x y z", 0, named_axes::found, 0, 1, 2},
      {"x,y,x,z,", ',', named_axes::found, 0, 1, 3},  // the first of a name counts; an empty last is nothing
      {"Latitude,Depth", ',', named_axes::missing_x, -1, 0, -1},
      {"Easting Depth", 0, named_axes::missing_y, 0, -1, -1},
      {"Elevation a b", 0, named_axes::none, -1, -1, 0},
      {"x,y,z", 0, named_axes::none, -1, -1, -1},  // cut at blanks: one name
      {"", ',', named_axes::none, -1, -1, -1},
  };
  for (const row& r : rows) {
    const header_columns c = columns_named(r.header, r.separator);
    EXPECT_EQ(c.axes, r.axes) << r.header;
    EXPECT_EQ(c.xyz[0], r.x) << r.header;
    EXPECT_EQ(c.xyz[1], r.y) << r.header;
    EXPECT_EQ(c.xyz[2], r.z) << r.header;
  }
}

// Where a reading stopped: the line's text before the place and from it on.
TEST(LayoutDecision, DecimalCommaStops) {
  const struct {
    const char* before;
    const char* after;
    char separator;
    bool decimal_comma;
  } rows[] = {
      {"12", ",5 3 4", 0, true},         {"1;2;\"421", ",3\";4", ';', true},
      {"636000 848000 400", ",5", 0, true}, {"", ",24;849512,11;421,3", 0, false},
      {"1 -4", ",5", 0, true},           {"1.5", ",2", 0, false},
      {"4 5 1", ",234.5 6", 0, false},   {"1e5", ",5", 0, false},
      {"4", ",x", 0, false},             {"4", ";5", ';', false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(is_decimal_comma(r.before, r.after, r.separator), r.decimal_comma) << r.before << r.after;
  }
}

}  // namespace
