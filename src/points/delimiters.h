// Bit masks of the whitespace, 0 bytes, digits and points in a few 16-byte
// blocks of text, so that the numbers of a record can be told apart at once
// instead of one byte after another.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessera {

// Bit i of each mask tells what p[i] is. "space" is whitespace as "%lf"
// skips it; a 0 byte is none of space, digit or point.
struct char_masks {
  uint64_t space, nul, digit, point;
};

// Classifies the first 16 x `blocks` bytes at p (blocks is 1 to 4).
template <int blocks>
inline char_masks char_masks_at(const char* p) {
  char_masks m{0, 0, 0, 0};
#if defined(__SSE2__)
  const __m128i blank = _mm_set1_epi8(' ');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i four = _mm_set1_epi8(4);
  const __m128i zero = _mm_setzero_si128();
  const __m128i digit0 = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  const __m128i point = _mm_set1_epi8('.');
  for (int i = 0; i < blocks; ++i) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    __m128i from_tab = _mm_sub_epi8(v, tab);  // \t \n \v \f \r become 0 to 4
    __m128i space = _mm_or_si128(_mm_cmpeq_epi8(v, blank), _mm_cmpeq_epi8(_mm_min_epu8(from_tab, four), from_tab));
    __m128i from_zero = _mm_sub_epi8(v, digit0);
    __m128i digits = _mm_cmpeq_epi8(_mm_min_epu8(from_zero, nine), from_zero);
    m.space |= uint64_t(uint32_t(_mm_movemask_epi8(space))) << (16 * i);
    m.nul |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)))) << (16 * i);
    m.digit |= uint64_t(uint32_t(_mm_movemask_epi8(digits))) << (16 * i);
    m.point |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, point)))) << (16 * i);
  }
#else
  for (int i = 0; i < 16 * blocks; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    m.space |= uint64_t(c == ' ' || (c >= '\t' && c <= '\r')) << i;
    m.nul |= uint64_t(c == 0) << i;
    m.digit |= uint64_t(c >= '0' && c <= '9') << i;
    m.point |= uint64_t(c == '.') << i;
  }
#endif
  return m;
}

// The bit mask of the bytes equal to `c` among the first 16 x `blocks` at p.
template <int blocks>
inline uint64_t byte_mask(const char* p, char c) {
  uint64_t m = 0;
#if defined(__SSE2__)
  const __m128i want = _mm_set1_epi8(c);
  for (int i = 0; i < blocks; ++i) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    m |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, want)))) << (16 * i);
  }
#else
  for (int i = 0; i < 16 * blocks; ++i) m |= uint64_t(p[i] == c) << i;
#endif
  return m;
}

// True if the first 16 x `blocks` bytes at p, with every digit read as '0',
// equal `pattern` at every position whose bit is set in `range`. The pattern
// is a record's text with its digits replaced by '0', so a match means the
// same spaces, signs and points in the same places, and digits elsewhere.
template <int blocks>
inline bool matches_pattern(const char* p, const char* pattern, uint64_t range) {
  uint64_t equal = 0;
#if defined(__SSE2__)
  const __m128i digit0 = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  for (int i = 0; i < blocks; ++i) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    __m128i from_zero = _mm_sub_epi8(v, digit0);
    __m128i digits = _mm_cmpeq_epi8(_mm_min_epu8(from_zero, nine), from_zero);
    __m128i shape = _mm_or_si128(_mm_andnot_si128(digits, v), _mm_and_si128(digits, digit0));
    __m128i want = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 16 * i));
    equal |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(shape, want)))) << (16 * i);
  }
#else
  for (int i = 0; i < 16 * blocks; ++i) {
    char c = p[i] >= '0' && p[i] <= '9' ? '0' : p[i];
    equal |= uint64_t(c == pattern[i]) << i;
  }
#endif
  return (equal & range) == range;
}

}  // namespace tessera
