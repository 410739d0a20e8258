#include "run/names.h"

#include <gtest/gtest.h>

#include "run/paths.h"

#include <string>

using namespace tessera;

namespace {

TEST(Names, CharactersWindowsForbidsAreFound) {
  const struct {
    const char* name;
    bool forbidden;
  } cases[] = {
      {"north", false},        {"site1\\2024", false}, {"Z\xc3\xbcrich", false}, {"a.b-c_d(e)~f$", false},
      {"CON", false},          {"x\x7fy", false},      {"n*rth", true},          {"dem.xyz:s", true},
      {"a<b", true},           {"a>b", true},          {"a\"b", true},           {"a|b", true},
      {"why?", true},          {"\x01", true},         {"a\x1f", true},          {"\x1b[A", true},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(has_forbidden_character(c.name), c.forbidden) << c.name;
}

TEST(Names, FoldersPastedAsFullPathsAreToldAndTheirNameFound) {
  const struct {
    const char* answer;
    bool pasted;
    const char* name;  // the folder's name under C:\images, "" if none can be typed
  } cases[] = {
      {"site1", false, ""},
      {"site1\\2024", false, ""},
      {"a:b", false, ""},
      {"\"site1\"", false, ""},
      {"C:\\images\\site1", true, "site1"},
      {"c:\\IMAGES\\site1\\", true, "site1"},
      {"\"C:\\images\\site1\"", true, "site1"},
      {"\"C:\\images\\site1\\2024\"", true, "site1\\2024"},
      {"\"C:\\images\\my", true, ""},                // quoted, cut at a blank
      {"C:\\images\\", true, ""},
      {"C:\\images", true, ""},
      {"C:\\imagesX\\site1", true, ""},
      {"D:\\images\\site1", true, ""},
      {"C:\\images\\a|b", true, ""},
      {"C:site1", false, ""},                          // relative to drive C's folder
      {"D:\\", true, ""},
  };
  for (const auto& c : cases) {
    char name[64];
    EXPECT_EQ(is_pasted_path(c.answer, name, sizeof name), c.pasted) << c.answer;
    if (c.pasted) {
      EXPECT_STREQ(name, c.name) << c.answer;
    }
  }
}

TEST(Names, Utf8IsToldFromOtherBytes) {
  const struct {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {"north", true},
      {"Z\xc3\xbcrich", true},                // 2 bytes
      {"\xe2\x82\xac", true},                 // 3 bytes, the euro sign
      {"\xf0\x9f\x98\x80", true},             // 4 bytes
      {"\xef\xbf\xbf\xf4\x8f\xbf\xbf", true}, // U+FFFF, U+10FFFF
      {std::string("a\0b", 3), true},
      {"Z\xfcrich", false},                   // the same name in code page 1252
      {"s\x81" "d", false},                   // its 437 spelling of u-umlaut
      {"\xc3", false},                        // cut short
      {"\xe2\x82", false},
      {"\xc3\xbc\xbc", false},                // stray continuation byte
      {"\xc0\xaf", false},                    // overlong
      {"\xc1\xbf", false},
      {"\xe0\x9f\xbf", false},
      {"\xf0\x8f\xbf\xbf", false},
      {"\xed\xa0\x80", false},                // a surrogate
      {"\xf4\x90\x80\x80", false},            // past U+10FFFF
      {"\xf5\x80\x80\x80", false},
      {"\xff", false},
      {"\xe2\x28\xa1", false},                // a continuation byte that is not one
  };
  for (const auto& c : cases) EXPECT_EQ(is_valid_utf8(c.bytes.data(), c.bytes.size()), c.valid) << c.bytes;
}

// Only the names this program gives its temporary files are removed as a
// killed run's leftovers: a near miss is a file of the user's.
TEST(Names, TemporaryNamesAreTold) {
  const struct {
    const char* name;
    bool temporary;
  } cases[] = {
      {".north.xyz.tessera-4242-0a1b2c3d.tmp", true},  {".north.xyz.tessera-4242.tmp", true},
      {".north.xyz.tessera-4242-1.tmp", true},         {".north.xyz.tessera-1-ffffffff.tmp", true},
      {"north.xyz.tessera-4242.tmp", false},           {".north.xyz.tessera-.tmp", false},
      {".north.xyz.tessera-x.tmp", false},             {".north.xyz.tessera-4242-.tmp", false},
      {".north.xyz.tessera-4242-0A1B.tmp", false},     {".north.xyz.tessera-4242.tmp.keep", false},
      {".north.xyz.tessera-4242-1-2.tmp", false},      {".north.xyz.tessera-lock", false},
      {".northern.xyz.tessera-4242.tmp", false},       {".nort.xyz.tessera-4242.tmp", false},
      {".north.xyz", false},                           {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_temporary_name(c.name, "images/site1/north.xyz"), c.temporary) << c.name;
}

TEST(Names, TemporaryNamesBuiltAreTold) {
  char temp[host_path_size];
  build_temporary_path("images/site1/north.xyz", 4242, 0x0a1b2c3du, temp);
  EXPECT_STREQ(temp, "images/site1/.north.xyz.tessera-4242-0a1b2c3d.tmp");
  EXPECT_TRUE(is_temporary_name(name_in_folder(temp), "images/site1/north.xyz"));
}

}  // namespace
