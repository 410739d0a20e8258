// The one number scanner, for point files and answers alike.
//
// A number is what the "%lf" conversion accepts, less hexadecimal, infinity
// and not-a-number: an optional sign; digits, optionally followed by a
// decimal point and more digits, or a decimal point followed by digits; an
// optional exponent (e or E, an optional sign, digits). Reading is greedy,
// as "%lf" reads a stream: every character that can extend a number is
// taken, and if what was taken is not a whole number the read fails with
// those characters consumed. Significant digits past the nineteenth count as
// zeros, so the digits kept always fit a 64-bit integer.
//
// The scanner works on any character source with `int peek()` (the next
// byte, or a value that is not a digit, sign, point or e at the end) and
// `void bump()` (consume it).
#pragma once

#include <cfloat>
#include <cstdint>

static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round to double");

// A scanned number: value = digits x 10^exponent, with its sign.
struct decimal_number {
  bool negative;
  uint64_t digits;
  int64_t exponent;
};

constexpr int kept_digits = 19;
constexpr int64_t exponent_cap = 100000000;  // far beyond any double; keeps the sums in range

inline bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

template <class Src>
inline void skip_space(Src& s) {
  while (is_space(s.peek())) s.bump();
}

// Scans one number at the source's position. Returns false if the characters
// taken do not form a number.
template <class Src>
inline bool scan_decimal(Src& s, decimal_number& d) {
  int c = s.peek();
  d.negative = false;
  if (c == '-' || c == '+') {
    d.negative = c == '-';
    s.bump();
    c = s.peek();
  }
  uint64_t m = 0;
  int nsig = 0;
  int64_t exp10 = 0;
  bool any = false;
  for (unsigned v; (v = unsigned(c - '0')) <= 9; c = s.peek()) {
    any = true;
    if (nsig < kept_digits) {
      m = m * 10 + v;
      nsig += m != 0;
    } else {
      ++exp10;
    }
    s.bump();
  }
  if (c == '.') {
    s.bump();
    c = s.peek();
    for (unsigned v; (v = unsigned(c - '0')) <= 9; c = s.peek()) {
      any = true;
      if (nsig < kept_digits) {
        m = m * 10 + v;
        nsig += m != 0;
        --exp10;
      }
      s.bump();
    }
  }
  if (!any) return false;
  if (c == 'e' || c == 'E') {
    s.bump();
    c = s.peek();
    bool eneg = false;
    if (c == '-' || c == '+') {
      eneg = c == '-';
      s.bump();
      c = s.peek();
    }
    int64_t e = 0;
    bool edigits = false;
    for (unsigned v; (v = unsigned(c - '0')) <= 9; c = s.peek()) {
      edigits = true;
      if (e < exponent_cap) e = e * 10 + v;
      s.bump();
    }
    if (!edigits) return false;
    exp10 += eneg ? -e : e;
  }
  d.digits = m;
  d.exponent = exp10;
  return true;
}

// Converts without the exact fast path; correctly rounded. False if the
// value is too large for a double. Values too small round to zero.
bool decimal_to_double_slow(const decimal_number& d, double& out);

// Correctly rounded conversion (round to nearest, ties to even). False if
// the value is too large for a double.
inline bool decimal_to_double(const decimal_number& d, double& out) {
  // Powers of ten up to 10^22 are exact doubles, and so is any integer up to
  // 2^53: one multiplication or division of two exact doubles is then
  // correctly rounded by the hardware.
  static constexpr double exact_powers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (d.digits <= (uint64_t(1) << 53) && d.exponent >= -22 && d.exponent <= 22) {
    double v = double(d.digits);
    v = d.exponent < 0 ? v / exact_powers[-d.exponent] : v * exact_powers[d.exponent];
    out = d.negative ? -v : v;
    return true;
  }
  return decimal_to_double_slow(d, out);
}
