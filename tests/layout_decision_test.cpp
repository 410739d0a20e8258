// The layout decision alone, from a line's text: no file, no reader.
#include "points/layout_decision.h"

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
      {"1,2,x", first, line_kind::data, point_layout::free, 0, 0, 0},
      {"abc", after_header, line_kind::data, point_layout::free, 0, 0, 0},
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
