// Eight characters at once as one 64-bit word: how many of them are digits,
// and the value of those digits. The caller makes sure 8 bytes are readable.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tessera {

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

// Each byte '0' (0x30): a digit's character less this is its value.
constexpr uint64_t zero_bytes = 0x3030303030303030u;
// Each byte 0x76 (0x80 - 10): a byte of 0 to 9 plus this stays below 0x80.
constexpr uint64_t below_ten_bytes = 0x7676767676767676u;
// The top bit of each byte.
constexpr uint64_t top_bits = 0x8080808080808080u;

// How many of the 8 bytes (first byte lowest) are digits before a non-digit.
inline int leading_digits(uint64_t w) {
  uint64_t x = w ^ zero_bytes;
  // A byte of x is a digit's value (0 to 9) exactly when neither it nor it
  // plus 0x76 has its top bit set. A carry out of a byte only happens for a
  // non-digit, so it can only spoil bytes after the first non-digit.
  uint64_t t = ((x + below_ten_bytes) | x) & top_bits;
  return t != 0 ? __builtin_ctzll(t) >> 3 : 8;
}

// Combining the digits, after pairs of digits were made two-digit values
// (x * 10 + (x >> 8)): the pairs at bytes 0 and 4 (`pair_bytes`) weigh 10^6
// and 10^2 (`million_and_hundred`) and those at bytes 2 and 6 weigh 10^4 and
// 1 (`ten_thousand_and_one`), each product landing in the word's high half.
constexpr uint64_t pair_bytes = 0x000000FF000000FFu;
constexpr uint64_t million_and_hundred = (uint64_t(1000000) << 32) | 100;
constexpr uint64_t ten_thousand_and_one = (uint64_t(10000) << 32) | 1;
static_assert(million_and_hundred == 0x000F424000000064u && ten_thousand_and_one == 0x0000271000000001u,
              "the weights of the four pairs");

// The value of the first n (1 to 8) digits of w.
inline uint64_t digits_value(uint64_t w, int n) {
  uint64_t x = (w ^ zero_bytes) << (8 * (8 - n));  // leading zeros in front
  x = x * 10 + (x >> 8);
  x = (((x & pair_bytes) * million_and_hundred) + (((x >> 16) & pair_bytes) * ten_thousand_and_one)) >> 32;
  return uint32_t(x);
}

}  // namespace tessera
