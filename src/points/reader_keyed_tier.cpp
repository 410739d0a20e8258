// The keyed fast tier (reader_keyed_tier.h): a run of records of a learnt
// layout read into integer keys, at the processor levels it is built for.
#include "points/reader_keyed_tier.h"

#include "points/cpu_level.h"
#include "points/delimiters.h"
#include "points/number_scan.h"
#include "points/powers_of_ten.h"
#include "points/reader_limits.h"

#if defined(TESSERA_CPU_LEVELS)
#include <immintrin.h>
#endif

namespace tessera::detail {

namespace {

// A key holds a number's first eight digits (of sixteen lanes, the lanes
// before the digits 0) in its high 32 bits and its last eight in its low
// ones: the digits m as (m / 10^8) * 2^32 + m % 10^8, in the order of m.
constexpr int key_half_digits = 8;
constexpr int key_lanes = 16;
static_assert(shape_digits_max < key_lanes, "a number's digits and its point fit the 16 lanes of one load");

#if defined(TESSERA_CPU_LEVELS)

// The number a key stands for, with the sign and decimals of its place in
// the layout, converted as record_view converts a record's number.
double key_value(uint64_t key, bool negative, int decimals) {
  const uint64_t m = (key >> 32) * powers_of_ten[key_half_digits] + (key & 0xFFFFFFFFU);
  return exact_fraction({negative, m, -decimals});
}

// The run's least and greatest values from its least and greatest keys: a
// negative number's greatest digits are its least value.
void settle_run(const keyed_plan& p, const uint64_t (&lo)[3], const uint64_t (&hi)[3], int64_t records,
                keyed_bounds& run) {
  run.records = records;
  if (records == 0) return;
  for (int i = 0; i < 3; ++i) {
    const double a = key_value(lo[i], p.negative[i], p.decimals[i]);
    const double b = key_value(hi[i], p.negative[i], p.decimals[i]);
    run.lo[i] = p.negative[i] ? b : a;
    run.hi[i] = p.negative[i] ? a : b;
  }
}

// The key of the 32-bit lanes [first eight digits, last eight] at the low
// end of a register.
inline uint64_t key_of(uint64_t lanes) { return (lanes << 32) | (lanes >> 32); }

// Whether the record at s matches the layout, as tier 1 checks it.
inline bool matches(const char* s, const record_shape& l) {
  return l.end < 32 ? matches_pattern<2>(s, l.pattern, l.range) : matches_pattern<4>(s, l.pattern, l.range);
}

__attribute__((target("sse4.1"))) void run_sse41(const char*& s, const record_shape& l, const keyed_plan& p,
                                                    int64_t limit, keyed_bounds& run) {
  const __m128i zero = _mm_set1_epi8('0');
  const __m128i tens = _mm_set1_epi16(0x010A);       // bytes 10, 1: two digits to one lane
  const __m128i hundreds = _mm_set1_epi32(0x00010064);  // 100, 1: four digits
  const __m128i ten_thousands = _mm_set1_epi32(0x00012710);  // 10000, 1: eight digits
  __m128i shuffle[3];
  for (int i = 0; i < 3; ++i) shuffle[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p.shuffle[i]));
  uint64_t lo[3] = {~uint64_t(0), ~uint64_t(0), ~uint64_t(0)}, hi[3] = {0, 0, 0};
  const char* at = s;
  int64_t n = 0;
  for (; n < limit && matches(at, l); ++n, at += l.end) {
    __m128i v[3];
    for (int i = 0; i < 3; ++i) {
      __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + p.first[i])), zero);
      v[i] = _mm_madd_epi16(_mm_maddubs_epi16(_mm_shuffle_epi8(d, shuffle[i]), tens), hundreds);
    }
    const __m128i xy = _mm_madd_epi16(_mm_packus_epi32(v[0], v[1]), ten_thousands);
    const __m128i zz = _mm_madd_epi16(_mm_packus_epi32(v[2], v[2]), ten_thousands);
    const uint64_t k[3] = {key_of(uint64_t(_mm_cvtsi128_si64(xy))), key_of(uint64_t(_mm_extract_epi64(xy, 1))),
                           key_of(uint64_t(_mm_cvtsi128_si64(zz)))};
    for (int i = 0; i < 3; ++i) {
      lo[i] = k[i] < lo[i] ? k[i] : lo[i];
      hi[i] = k[i] > hi[i] ? k[i] : hi[i];
    }
  }
  s = at;
  settle_run(p, lo, hi, n, run);
}

__attribute__((target("avx2,bmi2"))) void run_avx2(const char*& s, const record_shape& l, const keyed_plan& p,
                                                     int64_t limit, keyed_bounds& run) {
  const __m256i zero = _mm256_set1_epi8('0');
  const __m256i tens = _mm256_set1_epi16(0x010A);
  const __m256i hundreds = _mm256_set1_epi32(0x00010064);
  const __m256i ten_thousands = _mm256_set1_epi32(0x00012710);
  auto load = [](const void* q) { return _mm_loadu_si128(static_cast<const __m128i*>(q)); };
  // X and Y share a register, lane by lane; Z fills both lanes of another.
  const __m256i shuffle_xy = _mm256_inserti128_si256(_mm256_castsi128_si256(load(p.shuffle[0])), load(p.shuffle[1]), 1);
  const __m256i shuffle_z = _mm256_broadcastsi128_si256(load(p.shuffle[2]));
  uint64_t lo[3] = {~uint64_t(0), ~uint64_t(0), ~uint64_t(0)}, hi[3] = {0, 0, 0};
  const char* at = s;
  int64_t n = 0;
  for (; n < limit && matches(at, l); ++n, at += l.end) {
    __m256i xy = _mm256_inserti128_si256(_mm256_castsi128_si256(load(at + p.first[0])), load(at + p.first[1]), 1);
    __m256i z = _mm256_broadcastsi128_si256(load(at + p.first[2]));
    xy = _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(_mm256_sub_epi8(xy, zero), shuffle_xy), tens),
                           hundreds);
    z = _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(_mm256_sub_epi8(z, zero), shuffle_z), tens),
                          hundreds);
    // Per 128-bit lane: [X, Z] below, [Y, Z] above, eight digits to a 32-bit lane.
    const __m256i keys = _mm256_madd_epi16(_mm256_packus_epi32(xy, z), ten_thousands);
    const __m128i low = _mm256_castsi256_si128(keys);
    const uint64_t k[3] = {key_of(uint64_t(_mm_cvtsi128_si64(low))),
                           key_of(uint64_t(_mm_cvtsi128_si64(_mm256_extracti128_si256(keys, 1)))),
                           key_of(uint64_t(_mm_extract_epi64(low, 1)))};
    for (int i = 0; i < 3; ++i) {
      lo[i] = k[i] < lo[i] ? k[i] : lo[i];
      hi[i] = k[i] > hi[i] ? k[i] : hi[i];
    }
  }
  s = at;
  settle_run(p, lo, hi, n, run);
}

#endif

}  // namespace

keyed_plan plan_keys(const record_shape& l, const number_shape (&shapes)[3]) {
  keyed_plan p;
  p.usable = l.known && !l.rest;
  for (int i = 0; i < 3; ++i) {
    const number_shape& t = shapes[i];
    const int digits = t.whole + t.decimals;
    p.first[i] = t.first_digit;
    p.negative[i] = t.negative;
    p.decimals[i] = t.decimals;
    for (int j = 0; j < key_lanes; ++j) {
      const int d = j - (key_lanes - digits);  // the digit of lane j, from the number's first
      p.shuffle[i][j] = d < 0 ? int8_t(-128) : int8_t(d < t.whole ? d : d + 1);
    }
  }
  return p;
}

void read_keyed(const char*& s, const record_shape& l, const keyed_plan& p, int64_t limit, keyed_bounds& run) {
  run.records = 0;
#if defined(TESSERA_CPU_LEVELS)
  switch (cpu_level_in_use()) {
    case cpu_level::avx2:
      run_avx2(s, l, p, limit, run);
      return;
    case cpu_level::sse41:
      run_sse41(s, l, p, limit, run);
      return;
    case cpu_level::none:
      return;
  }
#else
  (void)s, (void)l, (void)p, (void)limit;
#endif
}

}  // namespace tessera::detail
