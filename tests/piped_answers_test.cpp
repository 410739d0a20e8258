#include "run/piped_answers.h"
#include "memory_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace tessera;

namespace {

// All the bytes piped_getc gives for a stream holding `bytes`, with one
// byte given back and taken again after each line end.
std::string decoded(const std::string& bytes) {
  FILE* f = file_of(bytes);
  piped_answers a;
  a.in = f;
  std::string out;
  bool given_back = false;
  for (int c; (c = piped_getc(a)) != EOF;) {
    if (c == '\n' && !given_back) {
      piped_unget(a, c);
      given_back = true;
      continue;
    }
    given_back = false;
    out += char(c);
  }
  std::fclose(f);
  return out;
}

TEST(PipedAnswers, Utf16WithItsMarkIsReadAsUtf8AndOtherBytesStand) {
  const struct {
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"site1\r\ndem\n", "site1\r\ndem\n"},
      {"", ""},
      {"\xff", "\xff"},                                              // not a mark: the bytes stand
      {"\xff\x41", "\xff\x41"},
      {"\xef\xbb\xbfsite1", "\xef\xbb\xbfsite1"},                    // UTF-8's mark is the dialogue's
      {std::string("\xff\xfes\0i\0\r\0\n\0", 10), "si\r\n"},         // UTF-16 LE, as PowerShell writes
      {std::string("\xfe\xff\0s\0i\0\n", 8), "si\n"},                // UTF-16 BE
      {std::string("\xff\xfe\x1a\x04\xfc\x00", 6), "\xd0\x9a\xc3\xbc"},  // U+041A U+00FC
      {std::string("\xff\xfe\x3d\xd8\x00\xde", 6), "\xf0\x9f\x98\x80"},  // a surrogate pair
      {std::string("\xff\xfe\x3d\xd8\x41\x00", 6), "\xef\xbf\xbd" "A"},  // a lone high surrogate
      {std::string("\xff\xfe\x00\xde\x41\x00", 6), "\xef\xbf\xbd" "A"},  // a lone low surrogate
      {std::string("\xff\xfe\x41\x00\x42", 5), "A\xef\xbf\xbd"},         // a last byte alone
  };
  for (const auto& c : cases) EXPECT_EQ(decoded(c.bytes), c.utf8) << c.bytes;
}

}  // namespace
