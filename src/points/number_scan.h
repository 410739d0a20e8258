// The number grammar of point files and answers, and its one converter.
//
// A number is what the "%lf" conversion accepts, less hexadecimal, infinity
// and not-a-number: an optional sign; digits, optionally followed by a
// decimal point and more digits, or a decimal point followed by digits; an
// optional exponent (e or E, an optional sign, digits; the point reader's
// line and delimited layouts also take Fortran's d or D). Reading is greedy,
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
#include <cstddef>
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

// Whether c begins an exponent: e or E, or with `fortran`, d or D too.
template <bool fortran>
inline bool is_exponent_mark(int c) {
  if constexpr (fortran) return (c | 0x20) == 'e' || (c | 0x20) == 'd';
  return c == 'e' || c == 'E';
}

// Scans one number at the source's position (`fortran`: d and D mark an
// exponent as e does). Returns false if the characters taken do not form a
// number.
template <bool fortran = false, class Src>
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
  if (is_exponent_mark<fortran>(c)) {
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

// Nodata: the spellings of a missing value that programs print for X, Y or
// Z, each after an optional sign: nan, inf and infinity in any case, and the
// older Windows runtimes' 1.#INF, 1.#QNAN and 1.#IND (any case, and with the
// zeros those runtimes pad them with to the precision asked: 1.#INF00). The
// point reader takes them where a field of its own stands, in the line and
// delimited layouts; nowhere else are they numbers.

// Whether c begins a nodata word (nan, inf, infinity).
inline bool begins_nodata_word(int c) { return (c | 0x20) == 'n' || (c | 0x20) == 'i'; }

// Takes the lower-case word `w` from the source in any case; false at the
// first character that differs (the ones before it taken).
template <class Src>
inline bool take_word(Src& s, const char* w) {
  for (; *w != 0; ++w, s.bump()) {
    if ((s.peek() | 0x20) != *w) return false;
  }
  return true;
}

// Reads nan, inf or infinity, at a character that begins_nodata_word, past
// the sign. False if the text is none of them.
template <class Src>
inline bool read_nodata_word(Src& s) {
  if ((s.peek() | 0x20) == 'n') return take_word(s, "nan");
  return take_word(s, "inf") && ((s.peek() | 0x20) != 'i' || take_word(s, "inity"));
}

// Reads the rest of 1.#INF, 1.#QNAN or 1.#IND and its padding zeros, at the
// '#' after "1.". False if the text is none of them.
template <class Src>
inline bool read_nodata_after_one(Src& s) {
  s.bump();
  const int c = s.peek() | 0x20;
  bool known = false;
  if (c == 'q') {
    known = take_word(s, "qnan");
  } else if (c == 'i' && take_word(s, "in")) {
    known = take_word(s, (s.peek() | 0x20) == 'f' ? "f" : "d");
  }
  if (!known) return false;
  while (s.peek() == '0') s.bump();
  return true;
}

// A source that gives the characters `taken` (already consumed from `s`)
// again, then goes on with `s`.
template <class Src>
struct replayed_prefix {
  const char* taken;
  Src& s;
  int peek() const { return *taken != 0 ? static_cast<unsigned char>(*taken) : s.peek(); }
  void bump() {
    if (*taken != 0) {
      ++taken;
    } else {
      s.bump();
    }
  }
};

enum class scanned_value { number, nodata, bad };

// Scans, past its sign, a number of the line and delimited layouts (its
// exponent marked by e or d, any case), or, if `nodata` may stand there, a
// nodata spelling. A second sign is no number.
template <class Src>
inline scanned_value scan_value(Src& s, decimal_number& d, bool nodata) {
  const int c = s.peek();
  if (c == '-' || c == '+') return scanned_value::bad;
  if (nodata && begins_nodata_word(c)) return read_nodata_word(s) ? scanned_value::nodata : scanned_value::bad;
  if (nodata && c == '1') {
    // 1.#INF and its kin begin as the number 1. does.
    s.bump();
    const char* taken = "1";
    if (s.peek() == '.') {
      s.bump();
      if (s.peek() == '#') return read_nodata_after_one(s) ? scanned_value::nodata : scanned_value::bad;
      taken = "1.";
    }
    replayed_prefix<Src> r{taken, s};
    return scan_decimal<true>(r, d) ? scanned_value::number : scanned_value::bad;
  }
  return scan_decimal<true>(s, d) ? scanned_value::number : scanned_value::bad;
}

// Whether the whole of `t` is a nodata spelling, with or without a sign.
bool is_nodata_text(const char* t, size_t size);

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
