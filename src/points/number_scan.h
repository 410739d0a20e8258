// The number grammar of point files and answers, and its one converter.
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
// scan_decimal is the general scanner: it turns the text into a decimal
// form (sign, digits, exponent). The point reader's fast paths find the same
// decimal form by other means for the spellings they know; every path hands
// it to decimal_to_double, the one conversion to a double.
//
// The scanner works on any character source with `int peek()` (the next
// byte, or a value that is not a digit, sign, point or e at the end) and
// `void bump()` (consume it).
#pragma once

#include <cfloat>
#include <cstdint>

#include "points/powers_of_ten.h"

namespace tessera {

static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round to double");

// A scanned number: value = digits x 10^exponent, with its sign.
struct decimal_number {
  bool negative;
  uint64_t digits;
  int64_t exponent;
  // Significant digits typed past the kept ones (read as zeros): the
  // scanner's alone, as the fast paths take no more digits than it keeps.
  int64_t dropped_digits = 0;
};

constexpr int kept_digits = 19;
constexpr int64_t exponent_cap = 100000000;  // far beyond any double; keeps the sums in range

inline bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A character source over text ending in a 0 byte, which it gives as the
// next character at the end (a 0 extends no number and is no whitespace).
struct text_source {
  const char* p;
  int peek() const { return static_cast<unsigned char>(*p); }
  void bump() { ++p; }
};

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
  int64_t dropped = 0;
  bool any = false;
  for (unsigned v; (v = unsigned(c - '0')) <= 9; c = s.peek()) {
    any = true;
    if (nsig < kept_digits) {
      m = m * 10 + v;
      nsig += m != 0;
    } else {
      ++exp10;
      ++dropped;
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
      } else {
        ++dropped;
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
  d.dropped_digits = dropped;
  return true;
}

// The decimals of a number's fixed-point form as typed: the digits after
// its point less its exponent (1.12345678 has 8, 1.5e-7 has 8, 1234e-2 has
// 2), never below 0. (Past an exponent of exponent_cap the count stops
// growing with it, as the exponent does.)
inline int64_t typed_decimals(const decimal_number& d) {
  int64_t n = d.dropped_digits - d.exponent;
  return n > 0 ? n : 0;
}

// The conversion beyond the exact step (see decimal_to_double); correctly
// rounded. False if the value is too large for a double. Values too small
// round to zero.
bool decimal_to_double_slow(const decimal_number& d, double& out);

// The largest digits the exact step takes: every integer up to 2^53 is an
// exact double.
constexpr uint64_t exact_digits_max = uint64_t(1) << 53;

// The exact step of the conversion, for digits up to exact_digits_max and an
// exponent from -exact_power_max to 0: the digits and the power of ten are
// exact doubles, so one division is correctly rounded by the hardware. (The
// digits are converted as a signed integer, which the processor does in one
// instruction.)
inline double exact_fraction(const decimal_number& d) {
  double v = double(int64_t(d.digits)) / exact_powers.value[-d.exponent];
  return d.negative ? -v : v;
}

// The one conversion of a decimal form to a double: correctly rounded (to
// nearest, ties to even). False if the value is too large for a double.
inline bool decimal_to_double(const decimal_number& d, double& out) {
  if (d.digits <= exact_digits_max && d.exponent <= 0 && d.exponent >= -exact_power_max) {
    out = exact_fraction(d);
    return true;
  }
  if (d.digits <= exact_digits_max && d.exponent > 0 && d.exponent <= exact_power_max) {
    // The same with one multiplication.
    double v = double(int64_t(d.digits)) * exact_powers.value[d.exponent];
    out = d.negative ? -v : v;
    return true;
  }
  return decimal_to_double_slow(d, out);
}

}  // namespace tessera
