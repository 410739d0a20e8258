#include "points/number_scan.h"

#include "reference_number.h"
#include "spellings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

using namespace tessera;

namespace {

struct scanned {
  bool ok;
  double value;
  size_t used;  // characters consumed
};

scanned scan(const std::string& text) {
  text_source s{text.c_str()};
  skip_space(s);
  decimal_number d;
  double v = 0;
  bool ok = scan_decimal(s, d) && decimal_to_double(d, v);
  return {ok, v, size_t(s.p - text.c_str())};
}

TEST(NumberScan, SyntaxAndGreedyConsumption) {
  struct row {
    const char* text;
    bool ok;
    double value;
    size_t used;
  };
  const row rows[] = {
      {"12", true, 12, 2},
      {"  \t\n-3.5 ", true, -3.5, 8},
      {"+.25", true, 0.25, 4},
      {"7.", true, 7, 2},
      {"1e3", true, 1000, 3},
      {"1E+3x", true, 1000, 4},
      {"2.5e-1,", true, 0.25, 6},
      {"-0", true, -0.0, 2},
      {"1-2", true, 1, 1},         // a sign ends the number: "%lf" reads 1
      {"0x1A", true, 0, 1},        // no hexadecimal: 0, then x is not a number
      {".", false, 0, 1},
      {"-", false, 0, 1},
      {"+.e5", false, 0, 2},
      {"1e", false, 0, 2},         // greedy: the e is taken, then no digits
      {"1e+", false, 0, 3},
      {"e5", false, 0, 0},
      {"inf", false, 0, 0},
      {"nan", false, 0, 0},
      {"-inf", false, 0, 1},
      {"abc", false, 0, 0},
      {"1e309", false, 0, 5},      // too large for a double
      {"1e-400", true, 0, 6},      // too small: zero, as strtod gives
      {"4.9406564584124654e-324", true, 4.9406564584124654e-324, 23},
      {"1.7976931348623157e308", true, 1.7976931348623157e308, 22},
      {"00000000000000000000000012.5", true, 12.5, 28},
      {"1e99999999999999999999", false, 0, 22},
      {"1e-99999999999999999999", true, 0, 23},
  };
  for (const row& r : rows) {
    scanned s = scan(r.text);
    EXPECT_EQ(s.ok, r.ok) << r.text;
    EXPECT_EQ(s.used, r.used) << r.text;
    if (r.ok && s.ok) {
      EXPECT_EQ(s.value, r.value) << r.text;
      EXPECT_EQ(std::signbit(s.value), std::signbit(r.value)) << r.text;
    }
  }
}

// The point reader's line and delimited layouts: a nodata spelling where a
// field of its own may stand, and an exponent marked by d too.
TEST(NumberScan, ValuesOfTheLineLayouts) {
  struct row {
    const char* text;  // past the sign
    bool nodata_here;
    scanned_value kind;
    double value;
    size_t used;
  };
  const row rows[] = {
      {"6.36295330D+05 ", true, scanned_value::number, 636295.33, 14},
      {"25d-1", false, scanned_value::number, 2.5, 5},
      {"1d", true, scanned_value::bad, 0, 2},  // greedy, as after an e
      {"inf ", true, scanned_value::nodata, 0, 3},
      {"INFINITY", true, scanned_value::nodata, 0, 8},
      {"infinite", true, scanned_value::bad, 0, 7},
      {"NaN", true, scanned_value::nodata, 0, 3},
      {"nan", false, scanned_value::bad, 0, 0},
      {"1.#INF00 ", true, scanned_value::nodata, 0, 8},
      {"1.#qnan", true, scanned_value::nodata, 0, 7},
      {"1.#IND", true, scanned_value::nodata, 0, 6},
      {"1.#IN", true, scanned_value::bad, 0, 5},
      {"1.#INF", false, scanned_value::number, 1, 2},  // 1. and then a '#'
      {"1.5 ", true, scanned_value::number, 1.5, 3},
      {"1 ", true, scanned_value::number, 1, 1},
      {"12.#INF", true, scanned_value::number, 12, 3},
      {"-1", true, scanned_value::bad, 0, 0},  // a second sign
  };
  for (const row& r : rows) {
    text_source s{r.text};
    decimal_number d{};
    const scanned_value k = scan_value(s, d, r.nodata_here);
    EXPECT_EQ(k, r.kind) << r.text;
    EXPECT_EQ(size_t(s.p - r.text), r.used) << r.text;
    double v = 0;
    if (k == scanned_value::number) {
      EXPECT_TRUE(decimal_to_double(d, v) && v == r.value) << r.text;
    }
  }
  for (const char* t : {"inf", "-Inf", "+infinity", "NAN", "-1.#INF", "1.#QNAN0", "-1.#IND00"}) {
    EXPECT_TRUE(is_nodata_text(t, std::strlen(t))) << t;
  }
  for (const char* t : {"5inf", "in", "1.#J", "1.#INFx", "--inf", "1.#", ""}) {
    EXPECT_FALSE(is_nodata_text(t, std::strlen(t))) << t;
  }
  // Answers and the free layout take no d.
  EXPECT_EQ(scan("1d5").used, 1u);
}

TEST(NumberScan, DigitsPastTheNineteenthCountAsZeros) {
  // 20 significant digits: the last is dropped, whatever it is.
  EXPECT_EQ(scan("12345678901234567899").value, 12345678901234567890.0);
  EXPECT_EQ(scan("0.000123456789012345678999").value, 0.000123456789012345678);
  // A 5 MB run of digits is read to its end and does not overflow.
  std::string huge(5 << 20, '9');
  scanned s = scan("0." + huge + " ");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.used, huge.size() + 2);
  EXPECT_EQ(s.value, 0.9999999999999999999);
  s = scan(huge);
  EXPECT_FALSE(s.ok);  // 10^5242880: too large
}

TEST(NumberScan, MatchesTheReferenceOnGeneratedSpellings) {
  std::mt19937_64 rng(20261208);
  for (int i = 0; i < 400000; ++i) {
    std::string t = random_spelling(rng);
    scanned s = scan(t);
    double want = reference(t);
    if (std::isinf(want)) {
      EXPECT_FALSE(s.ok) << t;
      continue;
    }
    ASSERT_TRUE(s.ok) << t;
    ASSERT_EQ(s.used, t.size()) << t;
    ASSERT_EQ(std::memcmp(&s.value, &want, sizeof want), 0) << t << " read " << s.value << " want " << want;
  }
}

TEST(NumberScan, HalfwayValuesRoundToEven) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 100000; ++i) {
    // An odd integer in [2^53, 2^54) lies halfway between two doubles; so
    // does it times 2^j or over 2^j, all spelled in at most 19 digits.
    uint64_t odd = (uint64_t(1) << 53) | rng() % (uint64_t(1) << 53) | 1;
    int j = int(rng() % 10);
    long double exact = std::ldexp(static_cast<long double>(odd), i % 2 == 0 ? j : -(j % 4));
    char text[64];
    std::snprintf(text, sizeof text, "%.*Lf", i % 2 == 0 ? 0 : j % 4, exact);
    scanned s = scan(text);
    double want = std::strtod(text, nullptr);
    ASSERT_TRUE(s.ok) << text;
    ASSERT_EQ(s.value, want) << text;
  }
}

}  // namespace
