#include "points/point_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "points/cpu_level.h"
#include "spellings.h"
#include "whole_pass.h"

using namespace tessera;

namespace {

using pass_result = whole_pass;

// Reads `bytes` as a point file to its end (see read_whole).
pass_result read_all(const std::string& bytes, int block_size = 0, bool general_only = false) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  pass_result result = read_whole(f, block_size, general_only);
  std::fclose(f);
  return result;
}

// The same bits, the same end and the same stop.
void expect_same_pass(const pass_result& a, const pass_result& b, const std::string& what) {
  EXPECT_EQ(pass_difference(a, b), "") << what;
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
      {"CR alone ends a line", "1 2 3\r4 5 6\r7 8\n", {{1, 2, 3}, {4, 5, 6}}, read_status::short_line, 3, ""},
      {"CR alone counts lines", "1 2 3\r\r4 5 6\rx\r", {{1, 2, 3}, {4, 5, 6}}, read_status::not_a_number, 4, "x"},
      {"CR CR LF: a line end, then a line feed", "1 2 3\r\r\nx", {{1, 2, 3}}, read_status::not_a_number, 3, "x"},
      {"header ending in a lone CR", "X Y Z\r1 2 3\r4 5 6\r", {{1, 2, 3}, {4, 5, 6}}, read_status::end_of_data, 0,
       ""},
      {"byte-order mark", "\xef\xbb\xbf" "1 2 3\n4 5 6\n", {{1, 2, 3}, {4, 5, 6}}, read_status::end_of_data, 0, ""},
      {"byte-order mark, then a stop", "\xef\xbb\xbf" "1 2 3\n4 x 6\n", {{1, 2, 3}}, read_status::not_a_number, 2,
       "x"},
      {"byte-order mark and header", "\xef\xbb\xbfX Y Z\n1 2 3\n", {{1, 2, 3}}, read_status::end_of_data, 0, ""},
      {"byte-order mark later is text", "1 2 3\n\xef\xbb\xbf" "4 5 6\n", {{1, 2, 3}}, read_status::not_a_number, 2,
       "???4"},
      {"first line too large stops", "1e999 2 3\n4 5 6\n", {}, read_status::not_a_number, 1, "1e999"},
      {"first line with a decimal comma stops", "12,5 3 4\n", {}, read_status::not_a_number, 1, ",5"},
      {"a line of a sign and a word first is a header", "\n-x 1 2\n", {}, read_status::end_of_data, 0, ""},
      {"header lines and no point: the second stops", "-- site 4 --\nm m m\nm m m\n", {}, read_status::not_a_number, 2,
       "m"},
      {"quoted from the failing character", "1 2 3\n4 5- 6\n", {{1, 2, 3}}, read_status::not_a_number, 2, "-"},
      // A number ends where its syntax ends, and the next may follow at once.
      {"fixed-width columns, a value filling its field",
       "  636295.33  848905.10   -421.30\n  636296.33  848906.10-100000.13\n",
       {{636295.33, 848905.10, -421.30}, {636296.33, 848906.10, -100000.13}}, read_status::end_of_data, 0, ""},
      {"every value touching", "-91.13-100000.13+5\n1-2-3\n", {{-91.13, -100000.13, 5}, {1, -2, -3}},
       read_status::end_of_data, 0, ""},
      {"a second point ends a number", "1 2 3\n7.5.5 1\n", {{1, 2, 3}, {7.5, .5, 1}}, read_status::end_of_data, 0,
       ""},
      {"an exponent, then a number at once", "1 2 3\n1e3-2E-1+3\n", {{1, 2, 3}, {1e3, -2e-1, 3}},
       read_status::end_of_data, 0, ""},
      {"text right after X Y and Z is a column", "1 2 3abc\n4 5 6-\n", {{1, 2, 3}, {4, 5, 6}},
       read_status::end_of_data, 0, ""},
      {"text right after a number is quoted from it", "1 2 3\n1 2x 3\n", {{1, 2, 3}}, read_status::not_a_number, 2,
       "x"},
      {"a sign alone after a number", "1 2 3\n4 5-\n", {{1, 2, 3}}, read_status::not_a_number, 2, "-"},
      {"a number cut by its exponent", "1 2 3\n4 5e 6\n", {{1, 2, 3}}, read_status::not_a_number, 2, "5e"},
      {"nan right after a number is text", "1 2 3\n4 5nan 6\n", {{1, 2, 3}}, read_status::not_a_number, 2, "nan"},
      {"nan followed at once by a number is text", "1 2 3\n4 nan-5 6\n", {{1, 2, 3}}, read_status::not_a_number, 2,
       "nan-5"},
      {"a stop after touching numbers", "1-2-3\n4-5\n", {{1, -2, -3}}, read_status::short_line, 2, ""},
      {"0x1A ends the data", "1 2 3\n4 5 6\n7 8 9\n\x1A" "garbage 1 2", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}},
       read_status::end_of_data, 0, ""},
      {"four numbers a line: one point a line", "1 2 3 4\n5 6 7 8\n", {{1, 2, 3}, {5, 6, 7}}, read_status::end_of_data,
       0, ""},
      {"any whitespace separates", "1\t2\n3 4\n5\n6", {{1, 2, 3}, {4, 5, 6}}, read_status::end_of_data, 0, ""},
      {"long decimals", "0.123456789012 1.5 2\n0.123456789012 1.5 2\n", {{0.123456789012, 1.5, 2}, {0.123456789012, 1.5, 2}},
       read_status::end_of_data, 0, ""},
      {"negative", "-98449.688 -55970.553 -81458.594\n", {{-98449.688, -55970.553, -81458.594}},
       read_status::end_of_data, 0, ""},
      {"header skipped", "X Y Z\n1 2 3\n", {{1, 2, 3}}, read_status::end_of_data, 0, ""},
      {"text later stops", "1 2 3\n4 5 6\n7 abc 9\n10 11 12\n", {{1, 2, 3}, {4, 5, 6}}, read_status::not_a_number,
       3, "abc"},
      {"nan is skipped", "1 2 3\nnan 5 6\n", {{1, 2, 3}}, read_status::end_of_data, 0, ""},
      {"hexadecimal stops", "1 2 3\n0x1A 5 6\n", {{1, 2, 3}}, read_status::not_a_number, 2, "x1A"},
      {"too large stops", "1 2 3\n4 1e400 6\n", {{1, 2, 3}}, read_status::not_a_number, 2, "1e400"},
      {"second header line stops", "X Y Z\nx y z\n", {}, read_status::not_a_number, 2, "x"},
      {"binary garbage stops", std::string("1 2 3\n\x01\x02\xff\0", 10), {{1, 2, 3}}, read_status::not_a_number, 2,
       "????"},
      {"a line's columns at the limit", "1 2 3 " + std::string(line_text_max - 1, 'x') + "\n4 5 6\n",
       {{1, 2, 3}, {4, 5, 6}}, read_status::end_of_data, 0, ""},
      {"a line's columns past the limit stop", "1 2 3\n4 5 6," + std::string(line_text_max + 1, 'x') + "\n7 8 9\n",
       {{1, 2, 3}}, read_status::line_too_long, 2, ""},
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
    if (r.end == read_status::not_a_number || r.end == read_status::cut_short || r.end == read_status::short_line ||
        r.end == read_status::line_too_long) {
      EXPECT_EQ(got.stop.line, r.stop_line) << r.name;
      EXPECT_EQ(got.stop.record, int64_t(r.records.size()) + 1) << r.name;
      EXPECT_EQ(std::string(got.stop.text), r.stop_text) << r.name;
    }
  }
}

TEST(PointReader, HeaderIsReportedWithItsLine) {
  pass_result got = read_all("\n  X Y\tZ\n1 2 3\n");
  EXPECT_EQ(got.header_line, 2);
  EXPECT_EQ(got.header_text, "X Y Z");  // whole, a tab as a blank
  EXPECT_EQ(got.records.size(), 1u);
  got = read_all("\xef\xbb\xbf\r\r\n\rEasting,Northing,Height\r1 2 3\r");
  EXPECT_EQ(got.header_line, 4);
  EXPECT_EQ(got.header_text, "Easting,Northing,Height");
  EXPECT_EQ(got.records.size(), 1u);
}

// Lines of more than three numbers are one point each (they once shifted
// the points three numbers at a time): the layout is decided from the first
// data line, and every tier reads by it.
TEST(PointReader, LinesOfMoreNumbersAreOnePointEach) {
  auto lines = [](const std::string& line, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += line;
    return text;
  };
  struct row {
    std::string name;
    std::string bytes;
    point_layout kind;
    int columns;
    size_t records;
  };
  const point_layout F = point_layout::free, L = point_layout::line;
  const row rows[] = {
      {"four a line", lines("1 2 3 4\n", 3), L, 4, 3},
      {"five on line 2", "1 2 3\n4 5 6 7 8\n9 10 11 12 13 14 15\n", L, 3, 3},
      {"seven", "1 2 3\n4 5 6 7 8 9 10\n11 12\n", L, 3, 2},
      {"eight", lines("1 2 3 4 5 6 7 8\n", 3), L, 8, 3},
      {"one a line", lines("1\n", 9), F, 0, 3},
      {"two a line", lines("1 2\n", 9), F, 0, 6},
      {"three a line", lines("1 2 3\n", 9), L, 3, 9},
      {"six a line", lines("1.5 2.5 3.5 4.5 5.5 6.5\n", 100), L, 6, 100},
      {"nine a line", lines("1 2 3 4 5 6 7 8 9\n", 5), L, 9, 5},
      {"last line without its line feed", "1 2 3\n4 5 6 7 8", L, 3, 2},
      {"after a header", "X Y Z\n" + lines("1 2 3 4\n", 3), L, 4, 3},
      {"lone CR lines", lines("1 2 3 4\r", 3), L, 4, 3},
      {"CR LF lines", lines("1 2 3 4\r\n", 3), L, 4, 3},
      {"before a stop", "1 2 3 4\n5 x\n", L, 4, 1},
      {"a word among the extra columns", "1 2 3 4 x\n", L, 5, 1},
      {"blank lines count none", "1 2 3\n\n\n4 5 6\n", L, 3, 2},
      {"fast layouts, then one line of four", lines("2600000.50 1200000.50 450.63\n", 499) + "1 2 3 4\n" +
                                                   lines("2600000.50 1200000.50 450.63\n", 100), L, 3, 600},
      {"fast layouts of four", lines("2600000.50 1200000.50 450.63 17\n", 1000), L, 4, 1000},
      // Numbers read as the grammar reads them: the next may follow at once.
      {"fixed width, Z filling its field", "  636296.33  848906.10-100000.13\n" + lines("  636296.33  848906.10   -421.30\n", 3),
       L, 3, 4},
      {"fixed width, all touching", lines("-91.13-100000.13-5.5\n", 4), L, 3, 4},
      {"touching, then columns", "1-2-3 4 5\n6 7 8 9 10\n", L, 5, 2},
      {"a column right after Z", "1 2 3abc def\n4 5 6\n", L, 5, 2},
      {"a point ends a number", lines("7.5.5.5\n", 3), L, 3, 3},
      {"7.5.5 is two numbers", lines("7.5.5\n", 3), F, 0, 2},
      {"two touching numbers a line are free", lines("1-2\n", 3), F, 0, 2},
      {"nan as a field of its own", "nan 2-3\n1 2 3\n", L, 3, 1},
      {"nan touching a number is no number", "1 2nan\n1 2 3\n", F, 0, 0},
  };
  for (const row& r : rows) {
    pass_result got = read_all(r.bytes);
    EXPECT_EQ(got.layout.kind, r.kind) << r.name;
    EXPECT_EQ(got.layout.columns, r.columns) << r.name;
    EXPECT_EQ(got.records.size(), r.records) << r.name;
    expect_same_pass(got, read_all(r.bytes, 7, true), r.name);
  }
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

// Carriage returns anywhere (CR LF, a lone CR, CR CR LF, at the end of a
// block or of the file), read through blocks of many sizes, give the pass
// of the same text with each CR LF made a LF and each other CR a LF.
TEST(PointReader, CarriageReturnsCleanAsLineFeeds) {
  std::mt19937_64 rng(26);
  const char* const ends[] = {"\r\n", "\r", "\r\r\n", "\n", "\r\r"};
  for (int file = 0; file < 200; ++file) {
    std::string raw, clean;
    for (int line = 0, lines = 1 + int(rng() % 300); line < lines; ++line) {
      std::string text = std::to_string(rng() % 100000) + "." + std::to_string(rng() % 100) + " " +
                         std::to_string(rng() % 1000) + std::string(rng() % 20, ' ') + "-7";
      const std::string end = ends[rng() % 5];
      raw += text + end;
      clean += text + (end == "\r\r\n" || end == "\r\r" ? "\n\n" : "\n");
    }
    int block = file % 4 == 0 ? 0 : 1 + int(rng() % 200);
    const pass_result want = read_all(clean, block);
    for (detail::cpu_level level : {detail::cpu_level::none, detail::cpu_level::sse41}) {
      detail::use_cpu_level(level);
      expect_same_pass(read_all(raw, block), want, "file " + std::to_string(file) + " level " + std::to_string(int(level)));
    }
    detail::use_cpu_level(detail::cpu_level::avx2);
    if (testing::Test::HasFailure()) return;
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
  EXPECT_EQ(got.stop.line, 2);
  EXPECT_EQ(std::string(got.stop.text), std::string(32, 'w') + "...");
}

TEST(PointReader, CountsLinesAcrossBlocks) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += "2600000.50 1200000.50 450.63\n";
  bytes += "1 2 oops\n";
  pass_result got = read_all(bytes);
  EXPECT_EQ(got.end, read_status::not_a_number);
  EXPECT_EQ(got.records.size(), 100000u);
  EXPECT_EQ(got.stop.line, 100001);
  EXPECT_EQ(got.stop.record, 100001);
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
  record_reader r(f);
  ASSERT_EQ(r.next_record(), read_status::record);
  EXPECT_EQ(r.record().y(), 2134567.25);
  ASSERT_EQ(r.next_record(), read_status::record);
  EXPECT_EQ(r.record().z(), 3.000001);
  EXPECT_EQ(r.next_record(), read_status::end_of_data);
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

// Writes every record of `bytes` both ways: formatted from its values, and
// as record_view::write_to writes it (copied from its text where it can).
std::pair<std::string, std::string> write_both_ways(const std::string& bytes) {
  pass_result got = read_all(bytes);
  std::string formatted;
  for (const point_record& p : got.records) {
    char line[record_text_max + 64];
    point_writer w;
    writer_start(w, nullptr);  // never flushed: each record fits `line`
    w.buf = w.pos = line;
    write_record(w, p);
    formatted.append(line, size_t(w.pos - line));
  }
  return {formatted, got.written};
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
  auto [formatted, text] = write_both_ways(bytes);
  ASSERT_EQ(formatted.size(), text.size());
  EXPECT_TRUE(formatted == text);
  EXPECT_NE(formatted.find("-0.000000 0.000000 -0.000000\r\n"), std::string::npos);
  EXPECT_NE(formatted.find("7.500000 0.250000 0.000000\r\n"), std::string::npos);
}

}  // namespace

namespace {

// Records whose last byte (or the line feed after it) is the last byte of a
// block, at every offset of the block, read through a heap block of exactly the block and the
// look-ahead: a fast path that read further than reader_look_ahead says
// would be caught by AddressSanitizer. The records fill one or two blocks
// (so the data end there, or a refill follows), in layouts that each tier
// takes.
TEST(PointReader, RecordsEndingAtTheEndOfABlock) {
  const std::string records[] = {
      "2600000.50 1200000.50 450.63",            // tiers 1 and 2, copied
      "-123456789012.125 1.5 -0.000001",         // tier 2, formatted
      "1234567890123456 2.25 3",                 // tier 3 (16 digits)
      "123456789012345.1234567 1 2",             // tier 3 at its limits
      "1e3 12345678901234567890.5 .5",           // tier 4
      "  636296.33  848906.10-100000.13",        // touching: tier 4
      "-91.13-100000.13-5.5 17 x",               // touching, with columns: tier 4
  };
  for (int block_size : {48, 64, 100, 160}) {
    for (const std::string& last : records) {
      for (const char* ending : {"", "\n"}) {  // the data end after the record, or after its line feed
        const std::string record = last + ending;
        for (int blocks = 1; blocks <= 2; ++blocks) {
        for (int offset = 0; offset + int(record.size()) <= block_size * blocks; ++offset) {
          // Whole records, then blanks, then the last record ending the block.
          std::string bytes;
          while (int(bytes.size() + 2 * (record.size() + 1)) <= offset) bytes += record + "\n";
          bytes.append(size_t(offset) - bytes.size(), ' ');
          bytes += record;
          ASSERT_EQ(int(bytes.size()) , offset + int(record.size()));
          bytes.insert(0, size_t(block_size * blocks) - bytes.size(), '\n');
          ASSERT_EQ(int(bytes.size()) % block_size, 0);
          pass_result got = read_all(bytes, block_size);
          pass_result general = read_all(bytes, block_size, true);
          std::string what = record + " block " + std::to_string(block_size) + " offset " + std::to_string(offset);
          ASSERT_EQ(got.end, read_status::end_of_data) << what;
          ASSERT_GE(got.records.size(), 1u) << what;
          expect_same_pass(got, general, what);
          pass_result whole = read_all(last + "\n");
          ASSERT_EQ(std::memcmp(&got.records.back(), &whole.records[0], sizeof(point_record)), 0) << what;
        }
      }
     }
    }
  }
}

// The tiered reader against the general scanner alone, record by record, on
// random files of mixed layouts and spellings, read through blocks of every
// size from tiny to the reader's own (so that records, numbers and the
// blanks between them cross block ends everywhere).
TEST(PointReader, TiersAgreeWithTheGeneralScanner) {
  std::mt19937_64 rng(2026);
  for (int file = 0; file < 300; ++file) {
    std::string bytes = random_point_text(rng, 1 + int(rng() % 2000));
    if (file % 5 == 0) bytes = "X Y Z\n" + bytes;
    int tiered_block = file % 3 == 0 ? 0 : 1 + int(rng() % 300);
    int general_block = 1 + int(rng() % 300);
    pass_result tiered = read_all(bytes, tiered_block);
    pass_result general = read_all(bytes, general_block, true);
    expect_same_pass(tiered, general, "file " + std::to_string(file));
    if (testing::Test::HasFailure()) {
      std::printf("%s\n", bytes.c_str());
      return;
    }
  }
}

// Wherever a fast path reads a number, it reads it as the general scanner
// does: the same value from the same characters. Each spelling stands in a
// record of its own, twice (so the second goes through a learnt layout),
// then as X, Y and Z followed at once by a signed number or by text.
TEST(PointReader, FastPathsAgreeWithTheGeneralScannerOnEverySpelling) {
  std::mt19937_64 rng(99);
  std::string bytes;
  // A spelling too large for a double would stop the pass there.
  auto converts = [](const std::string& t) {
    text_source s{t.c_str()};
    decimal_number d;
    double v;
    return scan_decimal(s, d) && decimal_to_double(d, v);
  };
  for (int i = 0; i < 200000; ++i) {
    std::string t = random_spelling(rng);
    while (!converts(t)) t = random_spelling(rng);
    if (i % 2 == 0) {  // the common shape: digits, a point, a few decimals
      t = std::to_string(rng() % 100000000) + "." + std::to_string(rng() % 1000);
      if (i % 4 == 0) t = "-" + t;
    }
    std::string line = t + " 1 2\n";
    bytes += line + line;
    bytes += t + "-1 2\n" + "1 " + t + "+2\n" + "1 2 " + t + "-3\n" + "1 2 " + t + "x\n";
  }
  pass_result tiered = read_all(bytes);
  EXPECT_EQ(tiered.end, read_status::end_of_data);
  EXPECT_EQ(tiered.records.size(), 6u * 200000);
  expect_same_pass(tiered, read_all(bytes, input_block_size, true), "spellings");
}

}  // namespace

#include "plain_reader.h"

namespace {

// The tiered reader, and the general scanner alone, against the plain
// line-by-line reader, on random files in every layout with the lines that
// are not points, through blocks of many sizes.
TEST(PointReader, LayoutsAgreeWithAPlainLineReader) {
  std::mt19937_64 rng(15);
  for (int file = 0; file < 2000; ++file) {
    std::string bytes = random_layout_text(rng, 1 + int(rng() % 300));
    whole_pass want = plain::read(bytes);
    int block = file % 3 == 0 ? 0 : 1 + int(rng() % 200);
    std::string what = "file " + std::to_string(file) + " block " + std::to_string(block);
    EXPECT_EQ(plain::difference(read_all(bytes, block), want), "") << what << "\n" << bytes;
    EXPECT_EQ(plain::difference(read_all(bytes, 1 + int(rng() % 200), true), want), "") << what << " general";
    if (testing::Test::HasFailure()) return;
  }
}

}  // namespace

namespace {

// Small files in each form, read by every tier alike: what the output gets
// (X Y Z and the extra columns), how the reading ends, the layout, and the
// lines skipped.
// The most decimals typed in X, Y or Z, whichever tier reads them: after a
// first record without any (the general scanner reads a pass's first
// record), a line twice (the second through the layout tier 2 learnt).
TEST(PointReader, DecimalsTypedByEveryTier) {
  const struct {
    std::string line;
    int64_t decimals;
    std::string first = "0 0 0";
  } rows[] = {
      {"1 -2.12345678 +3.5", 8},
      {"1.1234567" + std::string(60, ' ') + "2 3", 7},  // beyond tier 2's window: tier 3
      {"1.5e-7 2 3", 8},
      {"0.1234567890123456789012 1 2", 22},  // digits past the 19 kept
      {"12345678901234567890123.5 1 2", 1},
      {"1.12345678\n2\n3", 8, "0 0\n0"},  // the free layout
  };
  for (const auto& r : rows) {
    for (int block : {0, 1, 7, 200}) {
      for (bool general : {false, true}) {
        pass_result got = read_all(r.first + "\n" + r.line + "\n" + r.line + "\n", block, general && block != 0);
        EXPECT_EQ(got.max_decimals, r.decimals) << r.line << " block " << block << (general ? " general" : "");
      }
    }
  }
}

TEST(PointReader, EveryFormAsTheOutputGetsIt) {
  struct row {
    std::string name;
    std::string bytes;
    std::string written;
    read_status end;
    point_layout kind;
    int64_t skipped, nodata, count_line;
  };
  const point_layout F = point_layout::free, L = point_layout::line, D = point_layout::delimited;
  const std::string p123 = "1.000000 2.000000 3.000000", p456 = "4.000000 5.000000 6.000000";
  const std::string long_word(5000, 'w');
  const std::string p234 = "2.000000 3.000000 4.000000";
  const row rows[] = {
      {"row names after an unnamed column", ",x,y,z\n0,1,2,3\n1,4,5,6,a\n", p123 + " 0\r\n" + p456 + " 1 a\r\n",
       read_status::end_of_data, D, 0, 0, 0},
      {"quoted row names between blanks", "\"x\" \"y\" \"z\"\n\"1\" 1 2 3\n\"2\" nan 2 3\n\"3\" 4 5 6\n",
       p123 + " \"1\"\r\n" + p456 + " \"3\"\r\n", read_status::end_of_data, L, 0, 1, 0},
      {"a header one name short", "x y z\n\"7\" 2 3 4\n\"8\" 2 3 4 q\n", p234 + " \"7\"\r\n" + p234 + " \"8\" q\r\n",
       read_status::end_of_data, L, 0, 0, 0},
      {"an empty row name, and a row name alone", ",x,y,z\n,1,2,3\n5\n", p123 + " \"\"\r\n", read_status::short_line,
       D, 0, 0, 0},
      {"extra columns, blanks and tabs", "1 2 3  a\tb \n4 5 6\t7\n", p123 + " a b\r\n" + p456 + " 7\r\n",
       read_status::end_of_data, L, 0, 0, 0},
      {"a long extra column", "1 2 3 " + long_word + "\n", p123 + " " + long_word + "\r\n", read_status::end_of_data,
       L, 0, 0, 0},
      {"commas, quotes, empty and trailing fields", "4 , 5 ,6\n1,2,3,\"a\", ,b,\n",
       p456 + "\r\n" + p123 + " \"a\" \"\" b\r\n", read_status::end_of_data, D, 0, 0, 0},
      {"semicolons with decimal points", "1.5;2;3;4\n1;2;3;x\n", "1.500000 2.000000 3.000000 4\r\n" + p123 + " x\r\n",
       read_status::end_of_data, D, 0, 0, 0},
      {"a word in the first line's columns is no delimited layout", "1,2,3,x\n", "", read_status::not_a_number, F, 0, 0,
       0},
      {"a header beginning like nan, and nan lines", "nx ny nz\nnan 2 3\n1 2 3\nnx ny nz  \nNAN 1 1\n4 5 6\n",
       p123 + "\r\n" + p456 + "\r\n", read_status::end_of_data, L, 1, 2, 0},
      {"a quoted header, and quoted points", "\"X\";\"Y\";\"Z\"\n\"1\";\"2\";\"3\"\n\"X\";\"Y\";\"Z\"\n4;5;6\n",
       p123 + "\r\n" + p456 + "\r\n", read_status::end_of_data, D, 1, 0, 0},
      {"a header repeated with more after it is text", "X Y Z\n1 2 3\nX Y Z W\n", p123 + "\r\n",
       read_status::not_a_number, L, 0, 0, 0},
      {"a header beginning with one slash, repeated", "/x y z\n1 2 3\n/x y z\n4 5 6\n", p123 + "\r\n" + p456 + "\r\n",
       read_status::end_of_data, L, 1, 0, 0},
      {"a lone slash is text", "1 2 3\n/ 4 5 6\n", p123 + "\r\n", read_status::not_a_number, L, 0, 0, 0},
      {"a count, then comments, then points", "2\n# c\n1 2 3\n4 5 6\n", p123 + "\r\n" + p456 + "\r\n",
       read_status::end_of_data, L, 1, 0, 1},
      {"a count before a free layout is a number", "1\n2 3\n4\n", p123 + "\r\n", read_status::cut_short, F, 0, 0, 0},
      {"a count alone", "7\n", "", read_status::cut_short, F, 0, 0, 0},
      {"only comments and a header", "# a\nX Y Z\n% b\n", "", read_status::end_of_data, F, 2, 0, 0},
      {"a comment inside a free point", "1\n2\n# c\n3\n", p123 + "\r\n", read_status::end_of_data, F, 1, 0, 0},
      {"a nan in the free layout is text", "1 2\nnan 3\n", "", read_status::not_a_number, F, 0, 0, 0},
      {"a sign before a sign", "1 2 3\n+-4 5 6\n", p123 + "\r\n", read_status::not_a_number, L, 0, 0, 0},
      {"an empty field among X Y Z", "1,2,3\n4,,6\n", p123 + "\r\n", read_status::not_a_number, D, 0, 0, 0},
      {"a line of two fields", "1,2,3\n4,5\n", p123 + "\r\n", read_status::short_line, D, 0, 0, 0},
      {"a decimal comma", "1,5 2,5 3,5\n", "", read_status::not_a_number, F, 0, 0, 0},
      {"fixed-width columns, values filling their fields",
       "  636295.33  848905.10   -421.30\n  636296.33  848906.10-100000.13\n-636297.33-848907.10-100000.13  7\n",
       "636295.330000 848905.100000 -421.300000\r\n636296.330000 848906.100000 -100000.130000\r\n"
       "-636297.330000 -848907.100000 -100000.130000 7\r\n",
       read_status::end_of_data, L, 0, 0, 0},
      {"columns right after Z, each after one blank", "1 2 3abc\t d\n4 5 6-7-8\n", p123 + " abc d\r\n" + p456 + " -7-8\r\n",
       read_status::end_of_data, L, 0, 0, 0},
      {"touching numbers, then a nan line", "1-2-3\n-nan 2-3\n4+5+6\n",
       "1.000000 -2.000000 -3.000000\r\n" + p456 + "\r\n",
       read_status::end_of_data, L, 0, 1, 0},
      {"touching numbers after a count and a comment", "2\n# c\n1-2-3\n4-5-6\n",
       "1.000000 -2.000000 -3.000000\r\n4.000000 -5.000000 -6.000000\r\n", read_status::end_of_data, L, 1, 0, 1},
      {"a comma and a digit right after Z are a decimal comma", "1 2 3,5\n4 5 6\n", "", read_status::not_a_number, L,
       0, 0, 0},
      {"a comma alone right after Z begins the columns", "1 2 3,x\n4 5 6,\n", p123 + " ,x\r\n" + p456 + " ,\r\n",
       read_status::end_of_data, L, 0, 0, 0},
      {"bars, nodata spellings and Fortran exponents", "x|y|z\n1|2|3|7\n-1.#IND|5|6|8\n\"4\" | 5D0 | 0.6d1|a\n4|inf|6\n",
       p123 + " 7\r\n" + p456 + " a\r\n", read_status::end_of_data, D, 0, 2, 0},
      {"nodata only as a field of its own", "1 2 3\n-INFINITY 1.#QNAN0 +inf\n4 5 6inf\n",
       p123 + "\r\n" + p456 + " inf\r\n", read_status::end_of_data, L, 0, 1, 0},
      {"inf touching a number stops", "1 2 3\n4 5inf 6\n", p123 + "\r\n", read_status::not_a_number, L, 0, 0, 0},
      {"the free layout takes no inf and no d", "1 2\n3\n4d0 5 6\n", p123 + "\r\n", read_status::not_a_number, F, 0,
       0, 0},
      {"the delimited layout still wants whole fields", "1,2,3\n4,5-6,7\n", p123 + "\r\n", read_status::not_a_number,
       D, 0, 0, 0},
      // X, Y and Z where the header's names put them; the other columns in their order.
      {"by names, an empty last column", "id,Z,Y,X,code\n1,3,2,1,a\n2,6,5,4,\n", p123 + " 1 a\r\n" + p456 + " 2\r\n",
       read_status::end_of_data, D, 0, 0, 0},
      {"by names, lines alike but for their codes",
       "id;z;y;x;code\n10;3;2;1;G\n11;6;5;4;V\n12;3;2;1;;W\n13;  3 ;2;1 ;G\n",
       p123 + " 10 G\r\n" + p456 + " 11 V\r\n" + p123 + " 12 \"\" W\r\n" + p123 + " 13 G\r\n", read_status::end_of_data,
       D, 0, 0, 0},
      {"by names between blanks: the header again, nan, quotes", "Z Y X\n3 2 1\nZ Y X\nnan 5 4\n\"6\" 5 4 q\n",
       p123 + "\r\n" + p456 + " q\r\n", read_status::end_of_data, L, 1, 1, 0},
      {"by names, Z the first other column", "depth lat lon\n3 2 1\n6 5 4 7\n", p123 + "\r\n" + p456 + " 7\r\n",
       read_status::end_of_data, L, 0, 0, 0},
      {"by names, a header one name short of quoted row names", "\"z\" \"y\" \"x\"\n\"a\" 3 2 1\n",
       p123 + " \"a\"\r\n", read_status::end_of_data, L, 0, 0, 0},
      {"by names, a line without X", "id,Z,Y,X\n1,3,2,1\n2,3\n", p123 + " 1\r\n", read_status::short_line, D, 0, 0,
       0},
      {"by names, a word for X", "id,Z,Y,X\n1,3,2,1\n2,3,2,x1\n", p123 + " 1\r\n", read_status::not_a_number, D, 0,
       0, 0},
      {"a header naming Y alone", "Latitude,Depth\n1,2,3\n", "", read_status::end_of_data, F, 0, 0, 0},
  };
  for (const row& r : rows) {
    for (int block : {0, 1, 3, 16}) {
      for (bool general : {false, true}) {
        if (general && block == 0) continue;
        std::string what = r.name + " block " + std::to_string(block) + (general ? " general" : "");
        pass_result got = read_all(r.bytes, block, general);
        EXPECT_EQ(got.written, r.written) << what;
        EXPECT_EQ(got.end, r.end) << what;
        EXPECT_EQ(got.layout.kind, r.kind) << what;
        EXPECT_EQ(got.skipped.count, r.skipped) << what;
        EXPECT_EQ(got.nodata.count, r.nodata) << what;
        EXPECT_EQ(got.layout.count_line, r.count_line) << what;
      }
    }
  }
}

// A stop at a decimal comma is told from the line's text around it, which
// may lie across blocks.
TEST(PointReader, DecimalCommaStopsInEveryBlock) {
  const struct {
    std::string bytes;
    bool decimal_comma;
  } rows[] = {
      {"1;2;3\n4;\"5,25\";6\n", true},
      {"1 2 3\n4 5 123456,5\n", true},
      {"1\n2\n3\n-14,5\n", true},
      {"1 2 3\n4 5 6.5,5\n", false},
      {"1 2 3\n4 5,234.5 6\n", false},
      {"1 2 3\n4 5 x,5\n", false},
  };
  for (const auto& r : rows) {
    for (int block : {0, 1, 3, 16}) {
      const pass_result got = read_all(r.bytes, block, block != 0);
      EXPECT_EQ(got.end, read_status::not_a_number) << r.bytes << " block " << block;
      EXPECT_EQ(got.stop.decimal_comma, r.decimal_comma) << r.bytes << " block " << block;
    }
  }
}

}  // namespace
