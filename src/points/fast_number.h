// A fast path for the numbers that fill real point files: an optional sign,
// up to 16 integer digits, an optional point and up to 7 decimals, no
// exponent, at most 19 digits in all. Eight digits are read at once. Any
// other spelling is left to the general scanner, which gives the same value
// for these spellings; the fast path only declines, it never decides.
#pragma once

#include <cstdint>
#include <cstring>

namespace fast_number_detail {

inline uint64_t load8(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

// How many of the 8 bytes (first byte lowest) are digits before a non-digit.
inline int leading_digits(uint64_t w) {
  uint64_t x = w ^ 0x3030303030303030u;
  // A byte of x is a digit's value (0 to 9) exactly when neither it nor it
  // plus 0x76 has its top bit set. A carry out of a byte only happens for a
  // non-digit, so it can only spoil bytes after the first non-digit.
  uint64_t t = ((x + 0x7676767676767676u) | x) & 0x8080808080808080u;
  return t != 0 ? __builtin_ctzll(t) >> 3 : 8;
}

// The value of the first n (1 to 8) digits of w.
inline uint64_t digits_value(uint64_t w, int n) {
  uint64_t x = (w ^ 0x3030303030303030u) << (8 * (8 - n));  // leading zeros in front
  x = x * 10 + (x >> 8);
  x = (((x & 0x000000FF000000FFu) * 0x000F424000000064u) +
       (((x >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >> 32;
  return uint32_t(x);
}

constexpr uint64_t powers_of_ten[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

}  // namespace fast_number_detail

// Reads a number of the common shape at p, which must have 24 readable bytes
// (the buffer is padded). On success advances p and returns true.
inline bool fast_number(const char*& p, double& out) {
  using namespace fast_number_detail;
  const char* s = p;
  bool negative = *s == '-';
  s += negative || *s == '+';
  uint64_t w = load8(s);
  int whole = leading_digits(w);
  uint64_t m = 0;
  if (whole != 0) m = digits_value(w, whole);
  s += whole;
  if (whole == 8) {
    w = load8(s);
    int more = leading_digits(w);
    if (more == 8) return false;
    if (more != 0) m = m * powers_of_ten[more] + digits_value(w, more);
    s += more;
    whole += more;
  }
  int decimals = 0;
  if (*s == '.') {
    ++s;
    w = load8(s);
    decimals = leading_digits(w);
    if (decimals == 8 || whole + decimals > 19) return false;
    if (decimals != 0) m = m * powers_of_ten[decimals] + digits_value(w, decimals);
    s += decimals;
  }
  char next = *s;
  if (whole + decimals == 0 || next == 'e' || next == 'E' || next == '.' || m > (uint64_t(1) << 53)) return false;
  // m and 10^decimals are exact doubles: one correctly rounded division.
  double v = double(m) / double(powers_of_ten[decimals]);
  out = negative ? -v : v;
  p = s;
  return true;
}

// Where the parts of a token of the common shape lie in a 64-byte window.
struct token_layout {
  int b;         // first digit (or the point), after the sign
  int d;         // the point, or the token's end if it has none
  int whole;     // integer digits
  int decimals;  // digits after the point
  bool negative;
  char sign;     // the sign character, or 0 if the token has none
};

// Checks the token [a, e) of the 64-byte window at s (e < 64) with the
// window's digit and point masks: an optional sign, then only digits and at
// most one point, at most 15 digits in all (so the digits are an exact
// double) and at most 8 decimals (read at once). Fills its layout.
inline bool layout_token(const char* s, int a, int e, uint64_t digit, uint64_t point, token_layout& t) {
  t.negative = s[a] == '-';
  t.sign = t.negative || s[a] == '+' ? s[a] : 0;
  t.b = a + (t.sign != 0);
  uint64_t range = ((uint64_t(1) << e) - 1) & (~uint64_t(0) << t.b);
  uint64_t dot = point & range;
  if (((digit | dot) & range) != range || (dot & (dot - 1)) != 0) return false;
  t.d = dot != 0 ? __builtin_ctzll(dot) : e;
  t.whole = t.d - t.b;
  t.decimals = dot != 0 ? e - t.d - 1 : 0;
  return t.whole + t.decimals != 0 && t.whole + t.decimals <= 15 && t.decimals <= 8;
}

// The value of a token whose layout has been checked.
inline double token_value(const char* s, const token_layout& t) {
  using namespace fast_number_detail;
  uint64_t m = 0;
  if (t.whole > 8) {
    m = digits_value(load8(s + t.b), 8) * powers_of_ten[t.whole - 8] + digits_value(load8(s + t.b + 8), t.whole - 8);
  } else if (t.whole != 0) {
    m = digits_value(load8(s + t.b), t.whole);
  }
  if (t.decimals != 0) m = m * powers_of_ten[t.decimals] + digits_value(load8(s + t.d + 1), t.decimals);
  // m (below 10^15) and 10^decimals are exact doubles: one correctly rounded
  // division.
  double v = double(int64_t(m)) / double(int64_t(powers_of_ten[t.decimals]));
  return t.negative ? -v : v;
}
