// The survey and extraction passes as functions of a reader (and a zone and
// a writer), without the console.
#include "points/extraction.h"
#include "points/survey.h"
#include "phases/survey_pass.h"
#include "memory_file.h"
#include "survey_difference.h"
#include "points/cpu_level.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace tessera;

namespace {

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
      {"fixed width, a value filling its field", "  636295.33  848905.10   -421.30\n  636296.33  848906.10-100000.13\n",
       2, {636295.33, 636296.33, 848905.10, 848906.10, -100000.13, -421.30}, read_status::end_of_data},
      {"a stop after touching numbers", "1-2-3\n4-5x\n", 1, {1, 1, -2, -2, -3, -3}, read_status::not_a_number},
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

// The survey of a file through a reader of `block_size` (0: its own block),
// mapped in stretches of 5 records.
survey_values survey_through(FILE* f, int block_size, bool general_only) {
  std::unique_ptr<char[]> block(new char[size_t(block_size + reader_look_ahead)]);
  std::unique_ptr<record_reader> r = block_size == 0 ? std::make_unique<record_reader>(f)
                                                     : std::make_unique<record_reader>(f, block.get(), block_size,
                                                                                       general_only);
  return survey_records(*r, nullptr, zone_map(5));
}

// Random lines of one kind, `n` of them.
using line_maker = std::string (*)(std::mt19937_64& rng, int i);
std::string decimal(std::mt19937_64& rng, int whole, int decimals) {
  std::string t = std::to_string(rng() % 10);
  for (int i = 1; i < whole; ++i) t += char('0' + rng() % 10);
  if (decimals > 0) t += '.';
  for (int i = 0; i < decimals; ++i) t += char('0' + rng() % 10);
  return t;
}

// The survey with the keyed tier, at every processor level, against the
// general scanner alone: the count, the bounds' bits and the zone map's
// stretches, through blocks of several sizes. The kinds of file it reads,
// then one row for each reason it declines a line to tiers 1 to 4.
TEST(SurveyRecords, KeyedRunsAgreeWithTheGeneralScanner) {
  struct row {
    const char* name;
    line_maker line;
  };
  const row rows[] = {
      {"a grid", [](std::mt19937_64&, int i) {
         return std::to_string(2600000 + i % 40) + ".50 " + std::to_string(1200000 + i / 40) + ".50 " +
                std::to_string(400 + i % 7) + "." + std::to_string(10 + i % 90) + "\n";
       }},
      {"CR LF", [](std::mt19937_64& rng, int) {
         return decimal(rng, 7, 2) + " " + decimal(rng, 7, 2) + " " + decimal(rng, 3, 2) + "\r\n";
       }},
      {"widths changing every line", [](std::mt19937_64& rng, int i) {
         return decimal(rng, 1 + i % 9, i % 4) + " " + decimal(rng, 1 + i % 5, 2) + " " + decimal(rng, 2, i % 3) + "\n";
       }},
      {"15 digits, 8 of them decimals", [](std::mt19937_64& rng, int) {
         return decimal(rng, 7, 8) + " " + decimal(rng, 15, 0) + " -" + decimal(rng, 1, 8) + "\n";
       }},
      {"ties and -0", [](std::mt19937_64& rng, int i) {
         const char* z[] = {"0.00", "-0.00", "-0.00", "0.00", "1.50", "-1.50"};
         return std::string(i % 3 == 0 ? "-" : "") + "0.0" + std::to_string(rng() % 2) + " 7 " + z[rng() % 6] + "\n";
       }},
      {"negative maxima", [](std::mt19937_64& rng, int) {
         std::string t;
         for (int whole : {3, 6, 4}) (t += t.empty() ? "-" : " -") += decimal(rng, whole, 7 - whole);
         return t + "\n";
       }},
      {"the free layout", [](std::mt19937_64& rng, int i) {
         return decimal(rng, 4, 2) + (i % 2 == 0 ? " " : "\n");
       }},
      {"comma-separated", [](std::mt19937_64& rng, int) {
         return decimal(rng, 6, 2) + "," + decimal(rng, 6, 2) + "," + decimal(rng, 3, 1) + "\n";
       }},
      // Lines the keyed tier declines, among lines it takes.
      {"exponents", [](std::mt19937_64& rng, int i) {
         return decimal(rng, 3, 2) + (i % 5 == 0 ? "e2 " : " ") + decimal(rng, 3, 2) + " 1\n";
       }},
      {"16 to 24 digits", [](std::mt19937_64& rng, int i) {
         return decimal(rng, 3, 2) + " " + decimal(rng, i % 4 == 0 ? 16 + int(rng() % 9) : 5, 0) + " 1\n";
       }},
      {"extra columns", [](std::mt19937_64& rng, int i) {
         return decimal(rng, 3, 2) + " 5 6" + (i % 3 == 0 ? " 255 0 0\n" : "\n");
       }},
      {"comment lines", [](std::mt19937_64& rng, int i) {
         return std::string(i % 7 == 0 ? "# c\n" : "") + decimal(rng, 3, 2) + " 5 6\n";
       }},
      {"nan lines", [](std::mt19937_64& rng, int i) { return decimal(rng, 3, 2) + (i % 6 == 0 ? " nan 6\n" : " 5 6\n"); }},
      {"touching numbers", [](std::mt19937_64& rng, int i) {
         return decimal(rng, 3, 2) + (i % 4 == 0 ? "-" : " -") + decimal(rng, 3, 2) + " 6\n";
       }},
      {"row names", [](std::mt19937_64& rng, int i) {
         return (i == 0 ? std::string(",x,y,z\n") : std::string()) + std::to_string(i) + "," + decimal(rng, 3, 2) +
                ",5,6\n";
       }},
      {"a stop", [](std::mt19937_64& rng, int i) { return decimal(rng, 3, 2) + (i == 150 ? " x 6\n" : " 5 6\n"); }},
      {"a 0x1A", [](std::mt19937_64& rng, int i) { return decimal(rng, 3, 2) + (i == 150 ? " 5 6\n\x1a" : " 5 6\n"); }},
  };
  using detail::cpu_level;
  for (const row& r : rows) {
    std::mt19937_64 rng(26);
    std::string bytes;
    for (int i = 0; i < 300; ++i) bytes += r.line(rng, i);
    FILE* f = file_of(bytes);
    for (int block_size : {0, 64, 100, 997}) {
      const survey_values want = survey_through(f, block_size == 0 ? input_block_size : block_size, true);
      for (cpu_level level : {cpu_level::none, cpu_level::sse41, cpu_level::avx2}) {
        const cpu_level used = detail::use_cpu_level(level);
        EXPECT_EQ(survey_difference(survey_through(f, block_size, false), want), "")
            << r.name << ", block " << block_size << ", level " << int(used);
      }
    }
    detail::use_cpu_level(cpu_level::avx2);
    std::fclose(f);
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

// A reader through a heap block of exactly `block_size` bytes and the
// look-ahead (AddressSanitizer sees any read beyond), or its own block.
struct block_reader {
  std::unique_ptr<char[]> block;
  std::unique_ptr<record_reader> r;
  block_reader(FILE* f, int block_size) {
    if (block_size == 0) {
      r = std::make_unique<record_reader>(f);
    } else {
      block.reset(new char[size_t(block_size + reader_look_ahead)]);
      r = std::make_unique<record_reader>(f, block.get(), block_size);
    }
  }
};

// Fixed-width files whose values fill their fields, so that a number
// touches the one before it, read alike by the survey and the extraction
// through blocks of every size, so that the blocks end everywhere among
// and within the touching numbers.
TEST(ExtractRecords, TouchingNumbersAcrossBlockEdges) {
  struct row {
    const char* name;
    std::string bytes;
    int64_t record_count;
    double bounds[6];
    read_status end;
    std::string written;  // the extraction of the zone 0 to 1e6 in X and Y
  };
  const row rows[] = {
      {"fixed width", "  636295.33  848905.10   -421.30\n  636296.33  848906.10-100000.13\n      1.00      2.00      3.00\n",
       3, {1, 636296.33, 2, 848906.10, -100000.13, 3}, read_status::end_of_data,
       "636295.330000 848905.100000 -421.300000\r\n636296.330000 848906.100000 -100000.130000\r\n"
       "1.000000 2.000000 3.000000\r\n"},
      {"signed fields with a column", "X Y Z I\r\n+12.5-13.25+0.5 7\r\n+12.5+13.25-0.5 8\r\n", 2,
       {12.5, 12.5, -13.25, 13.25, -0.5, 0.5}, read_status::end_of_data, "12.500000 13.250000 -0.500000 8\r\n"},
      {"text right after a number stops", "1-2-3\n4 5 6\n7-8x9\n", 2, {1, 4, -2, 5, -3, 6},
       read_status::not_a_number, "4.000000 5.000000 6.000000\r\n"},
  };
  for (const row& r : rows) {
    FILE* f = file_of(r.bytes);
    for (int block_size = 0; block_size <= int(r.bytes.size()) + 1; ++block_size) {
      const std::string what = std::string(r.name) + ", block " + std::to_string(block_size);
      block_reader sb(f, block_size);
      survey_values s = survey_records(*sb.r, nullptr);
      EXPECT_EQ(s.record_count, r.record_count) << what;
      const double got[6] = {s.X_min, s.X_max, s.Y_min, s.Y_max, s.Z_min, s.Z_max};
      for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], r.bounds[i]) << what << " bound " << i;
      EXPECT_EQ(s.end, r.end) << what;
      block_reader eb(f, block_size);
      FILE* out = std::tmpfile();
      point_writer w;
      writer_start(w, out);
      extraction_result e = extract_records(*eb.r, {0, 1e6, 0, 1e6}, w, nullptr);
      std::rewind(out);
      std::string text;
      char chunk[4096];
      for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, out)) > 0;) text.append(chunk, n);
      std::fclose(out);
      EXPECT_EQ(text, r.written) << what;
      EXPECT_EQ(e.record_count, s.record_count) << what;
      EXPECT_EQ(e.end, s.end) << what;
      EXPECT_EQ(e.end_offset, s.end_offset) << what;
    }
    std::fclose(f);
  }
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
    s.stop = {count + 1, count + 1, "abc", 0, false};
    char text[256];
    describe_stop(s, text, sizeof text);
    std::string want = "line " + std::to_string(count + 1) + ", record " + std::to_string(count + 1) + ":";
    EXPECT_NE(std::string(text).find(want), std::string::npos) << text;
  }
}

}  // namespace
