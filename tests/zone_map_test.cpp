// The zone map: the extraction with the map steps over stretches, and
// gives exactly what it gives without: the same output, count, end, notices
// and stop, on files that cross many stretches and blocks.
#include "points/extraction.h"
#include "points/survey.h"
#include "points/zone_map.h"
#include "spellings.h"
#include "whole_pass.h"
#include "memory_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace tessera;

namespace {

// What a file looks like: its layout and what stands around and among the
// points.
enum file_form { three_columns, extra_columns, comma, semicolon_quoted, free_layout, fixed_width };
enum file_option : unsigned {
  bom = 1,
  crlf = 2,
  header = 4,
  comments = 8,           // a comment line every 9 points
  repeated_header = 16,   // the header again every 17 points
  nan_lines = 32,         // a line with nan for Z every 13 points (line layouts)
  stop_at_end = 64,       // text that is not a number after the points
  ctrl_z_at_end = 128,    // a 0x1A, then text
  short_line_at_end = 256,
  count_first = 512,      // the number of points on the first line
  no_final_line_feed = 1024,
  exponents = 2048,       // every 11th X spelled with an exponent
};

// Rows of points in the order a grid is written: row r, column c.
constexpr int rows = 40, columns = 5;

// Appends the pieces to `text`.
template <typename... T>
void put(std::string& text, const T&... pieces) {
  (text.append(pieces), ...);
}

std::string point_file(file_form form, unsigned options) {
  std::string text;
  const char* eol = options & crlf ? "\r\n" : "\n";
  const std::string head = form == comma ? "X,Y,Z,I" : form == semicolon_quoted ? "\"X\";\"Y\";\"Z\"" : "X Y Z";
  if (options & bom) text += "\xEF\xBB\xBF";
  if (options & header) text += head + eol;
  if (options & count_first) text += std::to_string(rows * columns) + eol;
  int on_line = 0;  // free layout: numbers on the line so far, two a line
  auto put_free = [&](const std::string& number) {
    text += number;
    text += ++on_line == 2 ? eol : " ";
    on_line %= 2;
  };
  for (int i = 0; i < rows * columns; ++i) {
    const int r = i / columns, c = i % columns;
    char x[32], y[32], z[32];
    std::snprintf(x, sizeof x, (options & exponents) && i % 11 == 5 ? "%.4e" : "%.1f", 100 + c + 0.5);
    std::snprintf(y, sizeof y, "%.2f", 200 + r + 0.25);
    std::snprintf(z, sizeof z, "%d", r * c - 7);
    // Lines that are not points stand at the start of a line.
    if ((options & comments) && i % 9 == 4 && on_line == 0) text += std::string(i % 2 ? "# note" : "// note") + eol;
    if ((options & repeated_header) && i % 17 == 16) text += head + eol;
    if ((options & nan_lines) && i % 13 == 6) text += std::string(x) + " " + y + " NaN" + eol;
    switch (form) {
      case three_columns: text += std::string(x) + " " + y + " " + z + eol; break;
      case extra_columns: text += std::string(x) + "\t" + y + " " + z + (i % 3 ? " 255 128 0" : " 7") + eol; break;
      case comma: text += std::string(x) + "," + y + ", " + z + "," + std::to_string(i) + eol; break;
      case semicolon_quoted: put(text, "\"", x, "\";\"", y, "\";\"", z, "\"", eol); break;
      case fixed_width: {
        // Signed values in fields they fill: each touches the one before.
        char line[96];
        std::snprintf(line, sizeof line, "%6s%+7.2f%+4d", x, 200 + r + 0.25, r * c - 7);
        put(text, line, eol);
        break;
      }
      case free_layout:
        // Two numbers a line, so that every other record begins mid-line.
        put_free(x);
        put_free(y);
        put_free(z);
        break;
    }
  }
  if (on_line != 0) text += eol;
  if (options & stop_at_end) text += std::string("105.5 300.25 oops") + eol + "1 2 3" + eol;
  if (options & ctrl_z_at_end) text += std::string("\x1A") + "101.5 201.25 3" + eol;
  if (options & short_line_at_end) text += std::string("101.5 201.25") + eol;
  if ((options & no_final_line_feed) && text.size() >= 1) text.resize(text.size() - std::string(eol).size());
  return text;
}

// What an extraction gives, all of which the map must leave as it is.
struct extraction_seen {
  std::string output;
  extraction_result e;
  line_tally skipped, nodata;
  data_stop stop;
};

std::string difference(const extraction_seen& a, const extraction_seen& b) {
  if (a.output != b.output) return "outputs";
  if (a.e.record_count != b.e.record_count || a.e.end != b.e.end || a.e.end_offset != b.e.end_offset) return "counts, ends or offsets";
  if (a.skipped.count != b.skipped.count || a.skipped.first_line != b.skipped.first_line) return "skipped lines";
  if (a.nodata.count != b.nodata.count || a.nodata.first_line != b.nodata.first_line) return "nodata lines";
  if (a.e.end != read_status::end_of_data &&
      (a.stop.line != b.stop.line || a.stop.record != b.stop.record || std::string(a.stop.text) != b.stop.text ||
       a.stop.numbers != b.stop.numbers)) {
    return "stops";
  }
  return "";
}

// A reader of `f` through a heap block of `block_size` bytes, so that
// AddressSanitizer sees any read beyond it.
struct block_reader {
  std::unique_ptr<char[]> block;
  record_reader r;
  block_reader(FILE* f, int block_size)
      : block(new char[size_t(block_size + reader_look_ahead)]), r(f, block.get(), block_size) {}
};

survey_values survey_of(FILE* f, int block_size, const zone_map& shape) {
  block_reader b(f, block_size);
  return survey_records(b.r, nullptr, shape);
}

extraction_seen extract(FILE* f, int block_size, const zone& z, const zone_map* map) {
  block_reader b(f, block_size);
  FILE* out = std::tmpfile();
  point_writer w;
  writer_start(w, out);
  extraction_seen seen;
  seen.e = extract_records(b.r, z, w, nullptr, map);
  seen.skipped = b.r.skipped();
  seen.nodata = b.r.nodata();
  seen.stop = b.r.stop();
  std::rewind(out);
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, out)) > 0;) seen.output.append(chunk, n);
  std::fclose(out);
  return seen;
}

// Zones in the grid's terms: none of it, rows 10 to 20 between columns 1
// and 3 (their edges on points, which belong to the zone), the last rows,
// a band of columns (every stretch holds some), all of it, and reversed.
const struct {
  const char* name;
  zone z;
} zones[] = {
    {"none", {0, 1, 0, 1}},
    {"some rows", {101.5, 103.5, 210.25, 220.25}},
    {"the last rows", {0, 1e9, 236.25, 1e9}},
    {"a band of columns", {102.5, 102.5, 0, 1e9}},
    {"all", {0, 1e9, 0, 1e9}},
    {"reversed", {1e9, 0, 0, 1e9}},
};

TEST(ZoneMap, ExtractionWithTheMapGivesWhatItGivesWithout) {
  const struct {
    const char* name;
    file_form form;
    unsigned options;
  } files[] = {
      {"three columns", three_columns, 0},
      {"byte-order mark, CR LF, header, comments", three_columns, bom | crlf | header | comments},
      {"extra columns, nan lines, a stop in the last stretch", extra_columns, nan_lines | stop_at_end | exponents},
      {"comma, its header repeated, 0x1A then text", comma, header | repeated_header | ctrl_z_at_end},
      {"semicolons and quotes, CR LF, a short line at the end", semicolon_quoted, crlf | header | short_line_at_end},
      {"free layout, comments, exponents", free_layout, comments | exponents | no_final_line_feed},
      {"free layout, a stop at the end, CR LF", free_layout, crlf | stop_at_end},
      {"a count of points first, no final line feed", three_columns, count_first | no_final_line_feed | bom},
      {"comments and nan lines from the first stretch", extra_columns, comments | nan_lines | crlf},
      {"fixed-width columns, values touching", fixed_width, header | nan_lines | stop_at_end | exponents},
  };
  // Stretch lengths and ceilings: short stretches, and a ceiling of three
  // that merges them again and again.
  const struct {
    int64_t records;
    size_t max;
  } shapes[] = {{7, 1000}, {3, 3}, {1, 1000}};
  const int block_sizes[] = {64, 97, 4096};
  for (const auto& file : files) {
    const std::string bytes = point_file(file.form, file.options);
    FILE* f = file_of(bytes);
    for (int block_size : block_sizes) {
      for (const auto& shape : shapes) {
        survey_values s = survey_of(f, block_size, zone_map(shape.records, shape.max));
        ASSERT_EQ(s.record_count, rows * columns) << file.name << ", block " << block_size;
        ASSERT_GT(s.map.stretches().size(), 1u) << file.name;
        ASSERT_LE(s.map.stretches().size(), shape.max) << file.name;
        for (const auto& zz : zones) {
          extraction_seen with = extract(f, block_size, zz.z, &s.map);
          extraction_seen without = extract(f, block_size, zz.z, nullptr);
          EXPECT_EQ(difference(with, without), "")
              << file.name << ", block " << block_size << ", stretches of " << shape.records << " (at most "
              << shape.max << "), zone " << zz.name;
          EXPECT_EQ(with.e.record_count, s.record_count) << file.name << ", zone " << zz.name;
        }
      }
    }
    std::fclose(f);
  }
}

// The same on random files in every layout, with the lines that are not
// points, odd spellings and stops, through blocks of many sizes, with short
// stretches and low ceilings, for zones drawn inside the bounds and zones
// whose edge is a stretch's least or greatest value.
TEST(ZoneMap, RandomFilesGiveTheSameWithAndWithoutTheMap) {
  std::mt19937_64 rng(19);
  auto unit = [&] { return double(rng() % 1001) / 1000; };
  for (int file = 0; file < 600; ++file) {
    const std::string bytes = file % 4 == 0 ? random_point_text(rng, 1 + int(rng() % 900))
                                            : random_layout_text(rng, 1 + int(rng() % 300));
    const int block_size = 1 + int(rng() % 200);
    FILE* f = file_of(bytes);
    survey_values s = survey_of(f, block_size, zone_map(1 + int64_t(rng() % 4), 2 + rng() % 5));
    const std::vector<stretch>& st = s.map.stretches();
    for (int k = 0; k < 4; ++k) {
      zone z;
      if (k < 2 || st.empty()) {
        const double x = s.X_min + unit() * (s.X_max - s.X_min), y = s.Y_min + unit() * (s.Y_max - s.Y_min);
        z = {x, x + unit() * (s.X_max - x), y, y + unit() * (s.Y_max - y)};
      } else {
        const stretch& t = st[rng() % st.size()];
        z = k == 2 ? zone{t.X_max, 1e300, -1e300, 1e300} : zone{-1e300, 1e300, -1e300, t.Y_min};
      }
      EXPECT_EQ(difference(extract(f, block_size, z, &s.map), extract(f, block_size, z, nullptr)), "")
          << "file " << file << " block " << block_size << "\n" << bytes;
    }
    std::fclose(f);
    if (testing::Test::HasFailure()) return;
  }
}

// The survey widens its ranges by each stretch's: the same bits as value
// by value, signed zeros and the start values included.
TEST(ZoneMap, SurveyBoundsDoNotDependOnTheStretches) {
  const std::string files[] = {
      "-0 0 -0\n0 -0 0\n5 -0.0 1e8\n-3 2 0\n0 0 -0\n",
      "0 -0 0\n-0 0 -0\n2e7 3e7 -1\n-0 -0 -0\n",
      point_file(extra_columns, nan_lines | comments),
  };
  for (const std::string& bytes : files) {
    FILE* f = file_of(bytes);
    // Value by value, from the start values, both tests strict.
    double want[6] = {10000000.0, 0.0, 10000000.0, 0.0, 10000000.0, 0.0};
    const whole_pass plain = read_whole(f, 64);
    for (const point_record& p : plain.records) {
      const double v[3] = {p.X, p.Y, p.Z};
      for (int i = 0; i < 3; ++i) {
        if (v[i] < want[2 * i]) want[2 * i] = v[i];
        if (v[i] > want[2 * i + 1]) want[2 * i + 1] = v[i];
      }
    }
    for (int64_t records : {0, 1, 2, 3}) {
      survey_values s = survey_of(f, 64, zone_map(records, 3));
      const double got[6] = {s.X_min, s.X_max, s.Y_min, s.Y_max, s.Z_min, s.Z_max};
      EXPECT_EQ(std::memcmp(got, want, sizeof want), 0) << bytes.substr(0, 20) << ", stretches of " << records;
      EXPECT_EQ(size_t(s.record_count), plain.records.size());
    }
    std::fclose(f);
  }
}

// A map made with other blocks, or of another file, is not used, and UTF-16
// text is not mapped: the extraction then reads every record.
TEST(ZoneMap, AMapThatDoesNotFitIsNotUsed) {
  const std::string bytes = point_file(three_columns, header);
  FILE* f = file_of(bytes);
  survey_values s = survey_of(f, 64, zone_map(5));
  FILE* other = file_of(point_file(three_columns, 0));  // no header: its points start elsewhere
  const zone z = zones[1].z;
  EXPECT_EQ(difference(extract(f, 97, z, &s.map), extract(f, 97, z, nullptr)), "");
  EXPECT_EQ(difference(extract(other, 64, z, &s.map), extract(other, 64, z, nullptr)), "");
  std::fclose(other);
  std::fclose(f);
  // UTF-16 text is decoded as it is read: a place in it is no byte of the
  // file, so the survey maps nothing.
  std::string utf16 = "\xFF\xFE";
  for (char c : bytes) utf16 += std::string{c, 0};
  FILE* wide = file_of(utf16);
  survey_values w = survey_of(wide, 64, zone_map(5));
  EXPECT_TRUE(w.map.stretches().empty());
  EXPECT_EQ(w.record_count, s.record_count);
  EXPECT_EQ(difference(extract(wide, 64, z, &w.map), extract(wide, 64, z, nullptr)), "");
  std::fclose(wide);
}

// The map steps over what cannot hold the zone without reading it: a
// change there (same size) is not seen by the extraction, which is why the
// input's size and times are compared after it; a change in a stretch it
// reads is seen.
TEST(ZoneMap, SkippedStretchesAreNotRead) {
  const std::string bytes = point_file(three_columns, 0);
  const zone z = zones[1].z;  // rows 10 to 20
  struct row {
    const char* name;
    std::string from, to;
    bool seen;
  } rows_[] = {
      {"a point of row 2, moved into the zone", "101.5 202.25", "101.5 212.25", false},
      {"a point of row 15", "101.5 215.25", "101.5 215.75", true},
  };
  for (const row& r : rows_) {
    FILE* f = file_of(bytes);
    survey_values s = survey_of(f, 64, zone_map(7));
    std::string changed = bytes;
    changed.replace(changed.find(r.from), r.from.size(), r.to);
    std::rewind(f);
    std::fwrite(changed.data(), 1, changed.size(), f);
    std::fflush(f);
    FILE* original = file_of(bytes);
    bool same = extract(f, 64, z, &s.map).output == extract(original, 64, z, nullptr).output;
    EXPECT_EQ(same, !r.seen) << r.name;
    std::fclose(original);
    std::fclose(f);
  }
}

std::vector<int64_t> shown;
void note_progress(int64_t record_count) { shown.push_back(record_count); }

// Every progress line is shown whether its records were read or stepped
// over, in the same order.
TEST(ZoneMap, ProgressCountsTheStretchesSteppedOver) {
  std::string bytes;
  for (int i = 0; i < 250000; ++i) bytes += std::to_string(i) + " 5 1\n";
  FILE* f = file_of(bytes);
  survey_values s = survey_of(f, 4096, zone_map(1000));
  std::vector<int64_t> seen[2];
  for (int with_map = 0; with_map < 2; ++with_map) {
    block_reader b(f, 4096);
    FILE* out = std::tmpfile();
    point_writer w;
    writer_start(w, out);
    shown.clear();
    extraction_result e = extract_records(b.r, {150000, 150001, 0, 10}, w, note_progress, with_map ? &s.map : nullptr);
    EXPECT_EQ(e.record_count, 250000);
    seen[with_map] = shown;
    std::fclose(out);
  }
  EXPECT_EQ(seen[0], (std::vector<int64_t>{100000, 200000}));
  EXPECT_EQ(seen[1], seen[0]);
  std::fclose(f);
}

}  // namespace
