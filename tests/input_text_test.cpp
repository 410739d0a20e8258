// What the reader makes of a file before its numbers: UTF-16 text, a 0x1A
// with text after it, files that are not text, and how messages quote text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "points/input_kind.h"
#include "points/quoted_text.h"
#include "whole_pass.h"
#include "memory_file.h"

using namespace tessera;

namespace {

whole_pass read_all(const std::string& bytes, int block_size = 0, bool general_only = false) {
  FILE* f = file_of(bytes);
  whole_pass result = read_whole(f, block_size, general_only);
  std::fclose(f);
  return result;
}

std::string quoted(const std::string& bytes, bool token) {
  char out[quoted_text_size];
  quoted_text q{out};
  for (unsigned char c : bytes) {
    if (!(token ? q.add_token_byte(c) : q.add(c))) break;
  }
  q.add(-1);
  return out;
}

TEST(QuotedText, ValidUtf8AsItIsAnyOtherByteAsAQuestionMark) {
  const std::string e_acute = "\xC3\xA9";
  struct row {
    const char* name;
    std::string bytes;
    std::string shown;
  };
  const row rows[] = {
      {"ASCII", "abc", "abc"},
      {"two-byte character", "H\xC3\xB6he", "H\xC3\xB6he"},
      {"four-byte character", "\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!"},
      {"Latin-1 byte", "H\xF6he", "H?he"},
      {"overlong form", "\xC0\xAF", "??"},
      {"surrogate", "\xED\xA0\x80x", "???x"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
      {"cut short by the end", "ab\xE2\x82", "ab??"},
      {"cut short by another lead", "\xE2\xC3\xA9", "?" + e_acute},
      {"C1 control", "\xC2\x85", "??"},
      {"byte-order mark within a text", "\xEF\xBB\xBF" "4", "???4"},
      {"control byte", std::string("a\0\x01", 3), "a??"},
      {"32 characters then more", std::string(33, 'w'), std::string(32, 'w') + "..."},
      {"32 characters exactly", std::string(32, 'w'), std::string(32, 'w')},
      {"characters, not bytes, are counted", [&] {
         std::string s;
         for (int i = 0; i < 33; ++i) s += e_acute;
         return s;
       }(), [&] {
         std::string s;
         for (int i = 0; i < 32; ++i) s += e_acute;
         return s + "...";
       }()},
      {"a broken sequence after 31 characters", std::string(31, 'w') + "\xE2\x82", std::string(31, 'w') + "?..."},
  };
  for (const row& r : rows) EXPECT_EQ(quoted(r.bytes, false), r.shown) << r.name;
  EXPECT_EQ(quoted("H\xC3\xB6he rest", true), "H\xC3\xB6he");
  EXPECT_EQ(quoted("\xC3 x", true), "?");
}

std::string utf16(const std::string& utf8, bool big_endian) {
  // Decodes the (valid) UTF-8 of the test texts and encodes it as UTF-16.
  std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  auto unit = [&](unsigned u) {
    char hi = char(u >> 8), lo = char(u & 0xFF);
    out += big_endian ? std::string{hi, lo} : std::string{lo, hi};
  };
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    unsigned cp = n == 1 ? c : c & (0xFF >> (n + 1));
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += size_t(n);
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

// A UTF-16 file reads as the same text in UTF-8 with its byte-order mark:
// the same records, stops, headers, lines and offsets, at any block size
// (so across block ends, a carriage return at one included).
TEST(Utf16Text, ReadsAsTheSameTextInUtf8) {
  const std::string texts[] = {
      "X Y H\xC3\xB6he\r\n1 2 3\r\n4.5 5 6\r\n",
      "1 2 3\n4 5 \xC3\xA9t\xC3\xA9\n",
      "\xF0\x9F\x98\x80 header\r1 2 3\r4 5 6\r7 8\r",
      "1 2 3\n4 5 6\n\x1A" "7 8 9\n",
      "2600000.50 1200000.50 450.63\n2600001.50 1200000.75 451.5\n1 2 3 4\n",
  };
  for (const std::string& text : texts) {
    whole_pass want = read_all("\xEF\xBB\xBF" + text);
    for (bool big_endian : {false, true}) {
      std::string bytes = utf16(text, big_endian);
      for (int block : {0, 5, 64}) {
        EXPECT_EQ(pass_difference(read_all(bytes, block), want), "") << text << " block " << block;
      }
    }
  }
  // A unit that cannot be decoded reads as U+FFFD, which is not a number.
  whole_pass got = read_all(std::string("\xFF\xFE" "1\0 \0" "2\0 \0" "3\0\n\0" "\x00\xD8" "4\0", 18));
  EXPECT_EQ(got.records.size(), 1u);
  EXPECT_EQ(got.end, read_status::not_a_number);
  EXPECT_EQ(std::string(got.stop.text), "\xEF\xBF\xBD" "4");
}

TEST(ControlZ, NotedWhenTextFollowsTheEndOfTheData) {
  struct row {
    const char* name;
    std::string bytes;
    int64_t line;
  };
  const row rows[] = {
      {"text after it", "1 2 3\n4 5 6\n\x1A" "7 8 9\n", 3},
      {"blanks after it", "1 2 3\r\n\x1A \r\n\t", 0},
      {"padding of 0x1A bytes", "1 2 3\n\x1A\x1A\x1A", 0},
      {"nothing after it", "1 2 3\n\x1A", 0},
      {"within a line", "1 2 3 \x1A" "x", 1},
      {"a record cut short by it", "1 2 3\n4 5\x1A" "6\n", 2},
      {"a stop before it", "1 2 3\nx\n\x1A" "7 8 9\n", 0},
      {"text past blanks of a whole block", "1 2 3\n\x1A" + std::string(5000, ' ') + "x", 2},
  };
  for (const row& r : rows) {
    whole_pass got = read_all(r.bytes);
    EXPECT_EQ(got.control_z_line, r.line) << r.name;
    EXPECT_EQ(pass_difference(got, read_all(r.bytes, 7, true)), "") << r.name;
  }
}

TEST(InputKind, CompressedAndBinaryFilesAreTold) {
  struct row {
    const char* name;
    std::string bytes;
    input_kind kind;
    int64_t zero_line;
  };
  const std::string las = "LASF" + std::string(20, '\0') + "\x01\x02" + std::string(200, '\0');
  const row rows[] = {
      {"gzip", std::string("\x1F\x8B\x08\x00", 4), input_kind::gzip, 0},
      {"zip", "PK\x03\x04\x14", input_kind::zip, 0},
      {"empty zip", "PK\x05\x06", input_kind::zip, 0},
      {"bzip2", "BZh91AY&SY", input_kind::bzip2, 0},
      {"xz", std::string("\xFD" "7zXZ\0\0", 7), input_kind::xz, 0},
      {"zstd", "\x28\xB5\x2F\xFD\x20", input_kind::zstd, 0},
      {"7z", "7z\xBC\xAF\x27\x1C\x00", input_kind::seven_zip, 0},
      {"LAS", las, input_kind::las, 0},
      {"text that begins like bzip2", "BZh1 2 3\n1 2 3\n", input_kind::text, 0},
      {"text that begins like LAS", "LASF X Y Z\n1 2 3\n", input_kind::text, 0},
      {"a 0 byte in the first point", std::string("1\0 2 3\n", 7), input_kind::zero_byte, 1},
      {"a 0 byte in the header", std::string("X Y\0Z\n1 2 3\n", 12), input_kind::zero_byte, 1},
      {"a 0 byte on a later line, no point", std::string("X Y Z\r\n\r\n\0", 10), input_kind::zero_byte, 3},
      {"UTF-16 without its mark", std::string("1\0 \0" "2\0 \0" "3\0", 10), input_kind::zero_byte, 1},
      {"a 0 byte after the first point", std::string("1 2 3\n\0\0", 8), input_kind::text, 0},
      {"a 0 byte after a 0x1A", std::string("1 2\x1A\0", 5), input_kind::text, 0},
      {"UTF-16 with its mark", utf16("X Y Z\n1 2 3\n", false), input_kind::text, 0},
      {"empty", "", input_kind::text, 0},
  };
  for (const row& r : rows) {
    FILE* f = file_of(r.bytes);
    input_check got = check_input(f);
    std::fclose(f);
    EXPECT_EQ(got.kind, r.kind) << r.name;
    EXPECT_EQ(got.zero_line, r.zero_line) << r.name;
  }
}

}  // namespace
