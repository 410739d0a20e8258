#include "points/extended.h"

#include <bit>

#include "points/binary64.h"
#include "points/uint128.h"

namespace tessera {

namespace {

struct binary {
  bool negative;
  uint64_t m;  // 0, or normalised with bit 52 set
  int e;
};

// Splits a finite double into sign, normalised integer significand and
// exponent.
binary split(double x) {
  binary64 d = decode_double(x);
  binary b{d.negative, d.m, d.e};
  if (b.m != 0) {
    int shift = std::countl_zero(b.m) - 11;
    b.m <<= shift;
    b.e -= shift;
  }
  return b;
}

int bit_length(u128 v) {
  uint64_t high = uint64_t(v >> 64);
  return high != 0 ? 128 - std::countl_zero(high) : 64 - std::countl_zero(uint64_t(v));
}

// Rounds mag x 2^exp to 64 significant bits. `sticky` says the exact value
// is a little more than mag (some lower bits were lost); mag then has more
// than 64 bits, so the lost bits lie below the rounding position.
extended round64(bool negative, u128 mag, int exp, bool sticky) {
  if (mag == 0) return {negative, 0, 0};
  int len = bit_length(mag);
  if (len <= 64) return {negative, uint64_t(mag), exp};
  int drop = len - 64;
  u128 q = mag >> drop;
  u128 rest = mag - (q << drop);
  u128 half = u128(1) << (drop - 1);
  if (rest > half || (rest == half && (sticky || (q & 1) != 0))) {
    ++q;
    if (q >> 64 != 0) {
      q >>= 1;
      ++drop;
    }
  }
  return {negative, uint64_t(q), exp + drop};
}

}  // namespace

extended extended_difference(double a, double b) {
  binary x = split(a);
  binary y = split(b);
  y.negative = !y.negative;
  if (y.m == 0) return {x.negative, x.m, x.e};
  if (x.m == 0) return {y.negative, y.m, y.e};
  if (y.e > x.e || (y.e == x.e && y.m > x.m)) {
    binary t = x;
    x = y;
    y = t;
  }
  // |x| >= |y|. Place x high in 128 bits and align y beneath it; bits of y
  // that fall off the bottom only make the result a little larger (sticky).
  u128 big = u128(x.m) << 72;
  int base = x.e - 72;
  int shift = y.e - base;
  u128 small;
  bool sticky = false;
  if (shift >= 0) {
    small = u128(y.m) << shift;
  } else if (-shift >= 64) {
    small = 0;
    sticky = true;
  } else {
    small = y.m >> -shift;
    sticky = (y.m & ((uint64_t(1) << -shift) - 1)) != 0;
  }
  u128 sum = x.negative == y.negative ? big + small : big - small - (sticky ? 1 : 0);
  return round64(x.negative, sum, base, sticky);
}

extended extended_quotient(extended a, double b) {
  binary d = split(b);
  if (a.significand == 0) return {a.negative != d.negative, 0, 0};
  int shift = std::countl_zero(a.significand);
  u128 numerator = u128(a.significand << shift) << 63;
  u128 q = numerator / d.m;
  u128 r = numerator % d.m;
  return round64(a.negative != d.negative, q, a.exponent - shift - 63 - d.e, r != 0);
}

bool truncate_to_int32(extended v, int32_t& out) {
  u128 magnitude;
  if (v.significand == 0 || v.exponent <= -64) {
    magnitude = 0;
  } else if (v.exponent < 0) {
    magnitude = v.significand >> -v.exponent;
  } else if (v.exponent < 32) {
    magnitude = u128(v.significand) << v.exponent;
  } else {
    return false;
  }
  u128 limit = v.negative ? u128(1) << 31 : (u128(1) << 31) - 1;
  if (magnitude > limit) return false;
  out = v.negative ? int32_t(-int64_t(magnitude)) : int32_t(magnitude);
  return true;
}

}  // namespace tessera
