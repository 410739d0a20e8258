#include "points/point_file.h"

#include "points/survey.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct pass_result {
  std::vector<point_record> records;
  read_status end;
  point_reader reader;
};

pass_result read_all(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  pass_result result;
  reader_start(result.reader, f);
  point_record p;
  while ((result.end = read_record(result.reader, p)) == read_status::record) result.records.push_back(p);
  std::fclose(f);
  return result;
}

TEST(PointReader, RecordsAndEnds) {
  struct row {
    std::string name;
    std::string bytes;
    std::vector<point_record> records;
    read_status end;
    int64_t stop_line;
    std::string stop_text;
  };
  const row rows[] = {
      {"empty", "", {}, read_status::end_of_data, 0, ""},
      {"only whitespace", " \n\t\r\n ", {}, read_status::end_of_data, 0, ""},
      {"no final line feed", "1 2 3\n4 5 6", {{1, 2, 3}, {4, 5, 6}}, read_status::end_of_data, 0, ""},
      {"CR LF", "1 2 3\r\n4 5 6\r\n", {{1, 2, 3}, {4, 5, 6}}, read_status::end_of_data, 0, ""},
      {"CR alone joins lines", "1 2 3\r4 5 6\r7 8\n", {{1, 2, 34}, {5, 67, 8}}, read_status::end_of_data, 0, ""},
      {"0x1A ends the data", "1 2 3\n4 5 6\n7 8 9\n\x1A" "garbage 1 2", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}},
       read_status::end_of_data, 0, ""},
      {"four numbers a line shift", "1 2 3 4\n5 6 7 8\n", {{1, 2, 3}, {4, 5, 6}}, read_status::cut_short, 2, ""},
      {"any whitespace separates", "1\t2\n3 4\n5\n6", {{1, 2, 3}, {4, 5, 6}}, read_status::end_of_data, 0, ""},
      {"long decimals", "0.123456789012 1.5 2\n0.123456789012 1.5 2\n", {{0.123456789012, 1.5, 2}, {0.123456789012, 1.5, 2}},
       read_status::end_of_data, 0, ""},
      {"negative", "-98449.688 -55970.553 -81458.594\n", {{-98449.688, -55970.553, -81458.594}},
       read_status::end_of_data, 0, ""},
      {"header skipped", "X Y Z\n1 2 3\n", {{1, 2, 3}}, read_status::end_of_data, 0, ""},
      {"text later stops", "1 2 3\n4 5 6\n7 abc 9\n10 11 12\n", {{1, 2, 3}, {4, 5, 6}}, read_status::not_a_number,
       3, "abc"},
      {"nan stops", "1 2 3\nnan 5 6\n", {{1, 2, 3}}, read_status::not_a_number, 2, "nan"},
      {"hexadecimal stops", "1 2 3\n0x1A 5 6\n", {{1, 2, 3}}, read_status::not_a_number, 2, "0x1A"},
      {"too large stops", "1 2 3\n4 1e400 6\n", {{1, 2, 3}}, read_status::not_a_number, 2, "1e400"},
      {"second header line stops", "X Y Z\nx y z\n", {}, read_status::not_a_number, 2, "x"},
      {"binary garbage stops", std::string("1 2 3\n\x01\x02\xff\0", 10), {{1, 2, 3}}, read_status::not_a_number, 2,
       "????"},
  };
  for (const row& r : rows) {
    pass_result got = read_all(r.bytes);
    EXPECT_EQ(got.end, r.end) << r.name;
    ASSERT_EQ(got.records.size(), r.records.size()) << r.name;
    for (size_t i = 0; i < r.records.size(); ++i) {
      EXPECT_EQ(got.records[i].X, r.records[i].X) << r.name << " record " << i;
      EXPECT_EQ(got.records[i].Y, r.records[i].Y) << r.name << " record " << i;
      EXPECT_EQ(got.records[i].Z, r.records[i].Z) << r.name << " record " << i;
    }
    if (r.end == read_status::not_a_number || r.end == read_status::cut_short) {
      EXPECT_EQ(got.reader.stop.line, r.stop_line) << r.name;
      EXPECT_EQ(got.reader.stop.record, int64_t(r.records.size()) + 1) << r.name;
      EXPECT_EQ(std::string(got.reader.stop.text), r.stop_text) << r.name;
    }
  }
}

TEST(PointReader, HeaderIsReportedWithItsLine) {
  pass_result got = read_all("\n  X Y Z\n1 2 3\n");
  EXPECT_EQ(got.reader.header_line, 2);
  EXPECT_EQ(std::string(got.reader.header_text), "X");
  EXPECT_EQ(got.records.size(), 1u);
}

// Records that straddle the end of the block buffer, at every offset, read
// the same as records that do not.
TEST(PointReader, RecordsAcrossBlockBoundaries) {
  for (int shift = 0; shift < 40; ++shift) {
    std::string bytes(size_t(input_block_size - 20 + shift), ' ');
    bytes += "1234567.125 -2345678.0625 99.5\r\n";
    bytes += "7 8 9";
    pass_result got = read_all(bytes);
    ASSERT_EQ(got.end, read_status::end_of_data) << shift;
    ASSERT_EQ(got.records.size(), 2u) << shift;
    EXPECT_EQ(got.records[0].X, 1234567.125) << shift;
    EXPECT_EQ(got.records[0].Y, -2345678.0625) << shift;
    EXPECT_EQ(got.records[0].Z, 99.5) << shift;
    EXPECT_EQ(got.records[1].Z, 9) << shift;
  }
}

TEST(PointReader, LongTokensEndCleanly) {
  // A 5 MB number is read whole (its digits past the nineteenth are zeros).
  std::string digits(5 << 20, '1');
  pass_result got = read_all("1 2 0." + digits + "\n");
  ASSERT_EQ(got.records.size(), 1u);
  EXPECT_EQ(got.records[0].Z, 0.1111111111111111111);
  // A 5 MB word stops the pass at once, with its text shortened.
  got = read_all("1 2 3\n" + std::string(5 << 20, 'w'));
  EXPECT_EQ(got.end, read_status::not_a_number);
  EXPECT_EQ(got.reader.stop.line, 2);
  EXPECT_EQ(std::string(got.reader.stop.text), std::string(32, 'w') + "...");
}

TEST(PointReader, CountsLinesAcrossBlocks) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += "2600000.50 1200000.50 450.63\n";
  bytes += "1 2 oops\n";
  pass_result got = read_all(bytes);
  EXPECT_EQ(got.end, read_status::not_a_number);
  EXPECT_EQ(got.records.size(), 100000u);
  EXPECT_EQ(got.reader.stop.line, 100001);
  EXPECT_EQ(got.reader.stop.record, 100001);
}

TEST(PointWriter, WritesPrintfTextWithCrLfAndReadsBack) {
  FILE* f = std::tmpfile();
  point_writer w;
  writer_start(w, f);
  const point_record records[] = {{512345.5, 2134567.25, 1520.125}, {-1.0000004, -0.0, 3.0000005}};
  for (const point_record& p : records) ASSERT_TRUE(write_record(w, p));
  ASSERT_TRUE(writer_flush(w));
  std::rewind(f);
  char text[200] = {};
  size_t n = std::fread(text, 1, sizeof text - 1, f);
  EXPECT_EQ(std::string(text, n),
            "512345.500000 2134567.250000 1520.125000\r\n-1.000000 -0.000000 3.000001\r\n");
  point_reader r;
  reader_start(r, f);
  point_record p;
  ASSERT_EQ(read_record(r, p), read_status::record);
  EXPECT_EQ(p.Y, 2134567.25);
  ASSERT_EQ(read_record(r, p), read_status::record);
  EXPECT_EQ(p.Z, 3.000001);
  EXPECT_EQ(read_record(r, p), read_status::end_of_data);
  std::fclose(f);
}

#ifndef _WIN32  // a full device to write to
TEST(PointWriter, ReportsAFullDevice) {
  FILE* f = std::fopen("/dev/full", "wb");
  ASSERT_NE(f, nullptr);
  std::setvbuf(f, nullptr, _IONBF, 0);
  point_writer w;
  writer_start(w, f);
  ASSERT_TRUE(write_record(w, {1, 2, 3}));
  EXPECT_FALSE(writer_flush(w));
  EXPECT_NE(w.write_errno, 0);
  std::fclose(f);
}
#endif

}  // namespace

namespace {

// Counts are 64-bit: the sentence that tells where the data stopped prints
// them whole around 2^31 and 2^32, where a 32-bit count would wrap.
TEST(DataStop, CountsPast32Bits) {
  const int64_t counts[] = {2147483647, 2147483648, 4294967295, 4294967296, 4294967297};
  for (int64_t count : counts) {
    survey_values s{};
    s.end = read_status::not_a_number;
    s.stop = {count + 1, count + 1, "abc"};
    char text[256];
    describe_stop(s, text, sizeof text);
    std::string want = "line " + std::to_string(count + 1) + ", record " + std::to_string(count + 1) + ":";
    EXPECT_NE(std::string(text).find(want), std::string::npos) << text;
  }
}

}  // namespace

#include <random>

namespace {

// Writes every record of `bytes` both ways (formatted from its values, and
// copied from its text where the reader allows it) and returns both outputs.
std::pair<std::string, std::string> write_both_ways(const std::string& bytes, int& copied) {
  FILE* in = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), in);
  point_reader r;
  reader_start(r, in);
  point_writer w;
  point_record p;
  std::string out[2];
  copied = 0;
  while (read_record(r, p) == read_status::record) {
    char line[record_text_max + 64];
    writer_start(w, nullptr);  // never flushed: each record fits `line`
    w.buf = w.pos = line;
    write_record(w, p);
    out[0].append(line, size_t(w.pos - line));
    if (r.text != nullptr && r.layout.copyable) {
      w.buf = w.pos = line;
      write_record_text(w, r.text, r.layout);
      ++copied;
    }
    out[1].append(line, size_t(w.pos - line));
  }
  std::fclose(in);
  return {out[0], out[1]};
}

TEST(PointWriter, CopiedTextEqualsFormattedValues) {
  // Each line is read twice, so that the second copy goes through the known
  // layout path.
  const char* tricky[] = {"-0.00 0 -0",        "007.5 000.25 00",   ".5 5. 0.000001",   "999999999.999999 -1 1",
                          "+5.5 -123 0.5",     "4294967295.5 1 2",  "0.1234567 1 2",     "1e3 2 3",
                          "2600000.50 1200000.50 450.63"};
  std::string bytes;
  for (const char* line : tricky) bytes += std::string(line) + "\n" + line + "\n";
  std::mt19937_64 rng(5);
  for (int i = 0; i < 200000; ++i) {
    std::string line;
    for (int k = 0; k < 3; ++k) {
      if (rng() % 3 == 0) line += '-';
      line += std::to_string(rng() % 1000000000 >> (rng() % 30));
      int decimals = int(rng() % 8);
      if (decimals > 0 || rng() % 2 == 0) line += '.';
      for (int j = 0; j < decimals; ++j) line += char('0' + rng() % 10);
      line += k < 2 ? ' ' : '\n';
    }
    bytes += line + line;
  }
  int copied = 0;
  auto [formatted, text] = write_both_ways(bytes, copied);
  EXPECT_GT(copied, 150000);
  ASSERT_EQ(formatted.size(), text.size());
  EXPECT_TRUE(formatted == text);
  EXPECT_NE(formatted.find("-0.000000 0.000000 -0.000000\r\n"), std::string::npos);
  EXPECT_NE(formatted.find("7.500000 0.250000 0.000000\r\n"), std::string::npos);
}

}  // namespace
