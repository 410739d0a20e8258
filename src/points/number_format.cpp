#include "points/number_format.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "points/binary64.h"
#include "points/powers_of_ten.h"
#include "points/uint128.h"

namespace tessera {

namespace {

constexpr char digit_pairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Number of decimal digits of n (1 for zero).
int decimal_digits(uint64_t n) {
  int bits = 64 - std::countl_zero(n | 1);
  int guess = (bits * 1233) >> 12;  // bits x log10(2), rounded down
  return guess + ((n | 1) >= powers_of_ten[guess]);
}

// Writes n in decimal, without leading zeros ("0" for zero).
char* put_uint(char* out, uint64_t n) {
  char* end = out + decimal_digits(n);
  char* t = end;
  while (n >= 100) {
    unsigned r = unsigned(n % 100);
    n /= 100;
    t -= 2;
    std::memcpy(t, digit_pairs + size_t(2) * r, 2);
  }
  if (n >= 10) {
    std::memcpy(t - 2, digit_pairs + size_t(2) * n, 2);
  } else {
    t[-1] = char('0' + n);
  }
  return end;
}

// Writes the six decimals of f (0 <= f < 10^6).
char* put_six(char* out, unsigned f) {
  std::memcpy(out, digit_pairs + size_t(2) * (f / 10000), 2);
  std::memcpy(out + 2, digit_pairs + size_t(2) * (f / 100 % 100), 2);
  std::memcpy(out + 4, digit_pairs + size_t(2) * (f % 100), 2);
  return out + 6;
}

// Writes n (any 128-bit value) in decimal.
char* put_uint128(char* out, u128 n) {
  constexpr uint64_t e19 = 10000000000000000000u;
  if (n <= UINT64_MAX) return put_uint(out, uint64_t(n));
  char* p = put_uint128(out, n / e19);
  uint64_t low = uint64_t(n % e19);
  char tmp[20];
  char* t = put_uint(tmp, low);
  size_t len = size_t(t - tmp);
  std::memset(p, '0', 19 - len);
  std::memcpy(p + 19 - len, tmp, len);
  return p + 19;
}

}  // namespace

char* format_lf(char* out, double v) {
  binary64 d = decode_double(v);
  // |v| = m x 2^e exactly.
  uint64_t m = d.m;
  int e = d.e;
  if (!d.finite || e > 54) {
    // Not finite, or an integer of more than 107 bits: no rounding is
    // involved, the library prints it exactly.
    if (!d.finite) {
      int n = std::snprintf(out, lf_text_max, "%lf", v);
      return out + n;
    }
    return std::to_chars(out, out + lf_text_max, v, std::chars_format::fixed, 6).ptr;
  }
  if (d.negative) *out++ = '-';
  if (e < 0 && e >= -43) {
    // The common case: |v| = whole + fraction / 2^s, and the fraction's bits
    // times 10^6 fit 64 bits.
    int s = -e;
    uint64_t whole = m >> s;
    uint64_t fraction = m & ((uint64_t(1) << s) - 1);
    uint64_t scaled6 = fraction * 1000000u;
    uint64_t q = scaled6 >> s;
    uint64_t rest = scaled6 & ((uint64_t(1) << s) - 1);
    uint64_t half = uint64_t(1) << (s - 1);
    // whole x 10^6 is even, so the parity of the result is that of q.
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
    if (q == 1000000) {
      ++whole;
      q = 0;
    }
    out = put_uint(out, whole);
    *out++ = '.';
    return put_six(out, unsigned(q));
  }
  // n = |v| x 10^6 rounded to an integer, ties to even.
  u128 scaled = static_cast<u128>(m) * 1000000u;
  u128 n;
  if (e >= 0) {
    n = scaled << e;
  } else if (-e > 100) {
    n = 0;  // below 10^-7: rounds to zero
  } else {
    int s = -e;
    u128 q = scaled >> s;
    u128 rest = scaled - (q << s);
    u128 half = static_cast<u128>(1) << (s - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
    n = q;
  }
  if (n <= UINT64_MAX) {
    uint64_t n64 = uint64_t(n);
    out = put_uint(out, n64 / 1000000);
    *out++ = '.';
    return put_six(out, unsigned(n64 % 1000000));
  }
  out = put_uint128(out, n / 1000000);
  *out++ = '.';
  return put_six(out, unsigned(n % 1000000));
}

}  // namespace tessera
