// The Windows build's reading of piped answers. Run under Wine, whose ANSI
// code page for an English locale is 1252.
#include "host/windows_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

using namespace tessera;

namespace {

std::string piped(const std::string& bytes) {
  char out[3 * 1024];
  return std::string(out, piped_text_to_utf8(bytes.data(), bytes.size(), out));
}

TEST(PipedAnswers, Utf8StandsAndTheAnsiCodePageIsConverted) {
  ASSERT_EQ(GetACP(), 1252u);
  const struct {
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"site1 dem\n", "site1 dem\n"},
      {"Z\xc3\xbcrich s\xc3\xbc" "d\n", "Z\xc3\xbcrich s\xc3\xbc" "d\n"},     // UTF-8 stands
      {"Z\xfcrich s\xfc" "d\n", "Z\xc3\xbcrich s\xc3\xbc" "d\n"},             // 1252 converted
      {"\x80 \xe9t\xe9", "\xe2\x82\xac \xc3\xa9t\xc3\xa9"},                   // the euro sign: 3 bytes
      {"\xc3\xa9t\xe9", "\xc3\x83\xc2\xa9t\xc3\xa9"},                         // one stray byte: all 1252
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(piped(c.bytes), c.utf8) << c.bytes;
}

}  // namespace
