// The survey and extraction passes as functions of a reader (and a zone and
// a writer), without the console.
#include "points/extraction.h"
#include "points/survey.h"
#include "phases/survey_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

FILE* file_of(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  return f;
}

survey_values survey_of(const std::string& bytes) {
  FILE* f = file_of(bytes);
  record_reader r(f);
  survey_values s = survey_records(r, nullptr);
  std::fclose(f);
  return s;
}

TEST(SurveyRecords, CountsBoundsAndEnds) {
  struct row {
    const char* name;
    std::string bytes;
    int64_t record_count;
    double bounds[6];  // X_min, X_max, Y_min, Y_max, Z_min, Z_max
    read_status end;
  };
  const double M = 10000000.0;
  const row rows[] = {
      {"empty: the start values", "", 0, {M, 0, M, 0, M, 0}, read_status::end_of_data},
      {"one record", "1 2 3\n", 1, {1, 1, 2, 2, 3, 3}, read_status::end_of_data},
      {"Z across 0", "1 2 -3\n4 5 6", 2, {1, 4, 2, 5, -3, 6}, read_status::end_of_data},
      {"every Z below 0: its own maximum", "1 2 -3\n4 5 -6", 2, {1, 4, 2, 5, -6, -3}, read_status::end_of_data},
      {"X west of 0", "-123.08 49 1\n-123.04 49 1\n", 2, {-123.08, -123.04, 49, 49, 1, 1},
       read_status::end_of_data},
      {"a -0.0 maximum is 0", "-1 2 3\n-0.0 2 3\n", 2, {-1, 0, 2, 2, 3, 3}, read_status::end_of_data},
      {"Y beyond 10000000: its own minimum", "1 2e7 3\n1 3e7 3\n", 2, {1, 1, 2e7, 3e7, 3, 3},
       read_status::end_of_data},
      {"Y across 10000000", "1 2e7 3\n1 5e6 3\n", 2, {1, 1, 5e6, 2e7, 3, 3}, read_status::end_of_data},
      {"a stop ends the fold", "1 2 3\n4 x 6\n", 1, {1, 1, 2, 2, 3, 3}, read_status::not_a_number},
      {"a short last line", "1 2 3\n4 5", 1, {1, 1, 2, 2, 3, 3}, read_status::short_line},
      {"cut short (free layout)", "1 2\n3 4", 1, {1, 1, 2, 2, 3, 3}, read_status::cut_short},
  };
  for (const row& r : rows) {
    survey_values s = survey_of(r.bytes);
    EXPECT_EQ(s.record_count, r.record_count) << r.name;
    const double got[6] = {s.X_min, s.X_max, s.Y_min, s.Y_max, s.Z_min, s.Z_max};
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(got[i], r.bounds[i]) << r.name << " bound " << i;
      EXPECT_EQ(std::signbit(got[i]), std::signbit(r.bounds[i])) << r.name << " bound " << i;
    }
    EXPECT_EQ(s.end, r.end) << r.name;
  }
}

std::vector<int64_t> shown;
void note_progress(int64_t record_count) { shown.push_back(record_count); }

TEST(SurveyRecords, ProgressAtEachHundredThousand) {
  std::string bytes;
  for (int i = 0; i < 250000; ++i) bytes += "1 2 3\n";
  FILE* f = file_of(bytes);
  record_reader r(f);
  shown.clear();
  survey_values s = survey_records(r, note_progress);
  std::fclose(f);
  EXPECT_EQ(s.record_count, 250000);
  EXPECT_EQ(shown, (std::vector<int64_t>{100000, 200000}));
}

TEST(Zone, BothEndsBelongAndZIsNotTested) {
  const zone z{10, 30, 20, 30};
  struct row {
    double X, Y;
    bool inside;
  } rows[] = {{10, 20, true},  {30, 30, true},  {10, 30, true},       {20, 25, true},      {9.999, 20, false},
              {10, 30.001, false}, {31, 25, false}, {20, 19.9, false}, {NAN, 25, false}, {20, NAN, false}};
  for (const row& r : rows) EXPECT_EQ(in_zone(z, r.X, r.Y), r.inside) << r.X << " " << r.Y;
  const zone reversed{5, 1, 0, 10};
  EXPECT_FALSE(in_zone(reversed, 3, 3));
}

std::string extract_of(const std::string& bytes, const zone& z, extraction_result& e) {
  FILE* in = file_of(bytes);
  FILE* out = std::tmpfile();
  record_reader r(in);
  point_writer w;
  writer_start(w, out);
  e = extract_records(r, z, w, nullptr);
  std::rewind(out);
  std::string text;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, out)) > 0;) text.append(chunk, n);
  std::fclose(in);
  std::fclose(out);
  return text;
}

TEST(ExtractRecords, WritesTheRecordsInsideInOrder) {
  extraction_result e;
  std::string out = extract_of("10 20 -5\n10 30 1\n30 20 1\n9.999 20 1\n10 30.001 1\n20 25 -1e6\n20 25 -1e6",
                               {10, 30, 20, 30}, e);
  EXPECT_EQ(out,
            "10.000000 20.000000 -5.000000\r\n10.000000 30.000000 1.000000\r\n30.000000 20.000000 1.000000\r\n"
            "20.000000 25.000000 -1000000.000000\r\n20.000000 25.000000 -1000000.000000\r\n");
  EXPECT_EQ(e.record_count, 7);
  EXPECT_EQ(e.end, read_status::end_of_data);
  EXPECT_TRUE(e.written);
  // A reversed zone writes nothing; the reading still goes to the end.
  out = extract_of("1 2 3\n4 5 6\n", {5, 1, 0, 10}, e);
  EXPECT_EQ(out, "");
  EXPECT_EQ(e.record_count, 2);
}

TEST(ExtractRecords, SeesWhatTheSurveySaw) {
  const std::string bytes = "X Y Z\n1 2 3\n4 5 6\n7 8 oops\n";
  survey_values s = survey_of(bytes);
  extraction_result e;
  extract_of(bytes, {0, 1e9, 0, 1e9}, e);
  EXPECT_EQ(e.record_count, s.record_count);
  EXPECT_EQ(e.end, s.end);
  EXPECT_EQ(e.end_offset, s.end_offset);
}

TEST(ExtractRecords, StopsAtAFullDevice) {
  FILE* in = file_of("1 2 3\n");
  FILE* out = std::fopen("/dev/full", "wb");
  ASSERT_NE(out, nullptr);
  std::setvbuf(out, nullptr, _IONBF, 0);
  record_reader r(in);
  point_writer w;
  writer_start(w, out);
  extraction_result e = extract_records(r, {0, 10, 0, 10}, w, nullptr);
  EXPECT_FALSE(e.written);
  EXPECT_NE(w.write_errno, 0);
  std::fclose(in);
  std::fclose(out);
}

// Counts are 64-bit: the sentence that tells where the data stopped prints
// them whole around 2^31 and 2^32, where a 32-bit count would wrap.
TEST(DataStop, CountsPast32Bits) {
  const int64_t counts[] = {2147483647, 2147483648, 4294967295, 4294967296, 4294967297};
  for (int64_t count : counts) {
    survey_values s{};
    s.end = read_status::not_a_number;
    s.stop = {count + 1, count + 1, "abc", 0};
    char text[256];
    describe_stop(s, text, sizeof text);
    std::string want = "line " + std::to_string(count + 1) + ", record " + std::to_string(count + 1) + ":";
    EXPECT_NE(std::string(text).find(want), std::string::npos) << text;
  }
}

}  // namespace
