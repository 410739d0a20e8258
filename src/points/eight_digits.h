// Eight characters at once as one 64-bit word: how many of them are digits,
// and the value of those digits. The caller makes sure 8 bytes are readable.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The word's first byte is its lowest, whatever the host's byte order: the
// digit tricks below count and weigh the bytes from the low end.
static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big,
              "a host of mixed byte order needs its own load8");
inline uint64_t load8(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
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
