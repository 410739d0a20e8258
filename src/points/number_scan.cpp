#include "points/number_scan.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <system_error>

namespace tessera {

bool is_nodata_text(const char* t, size_t size) {
  const std::string z(t, size);  // ends in a 0, which no spelling holds
  text_source s{z.c_str()};
  if (s.peek() == '-' || s.peek() == '+') s.bump();
  bool known = false;
  if (begins_nodata_word(s.peek())) {
    known = read_nodata_word(s);
  } else if (z.compare(size_t(s.p - z.c_str()), 3, "1.#") == 0) {
    s.p += 2;
    known = read_nodata_after_one(s);
  }
  return known && s.p == z.c_str() + z.size();
}

bool decimal_to_double_slow(const decimal_number& d, double& out) {
  if (d.digits == 0) {
    out = d.negative ? -0.0 : 0.0;
    return true;
  }
  int ndig = 0;
  for (uint64_t m = d.digits; m != 0; m /= 10) ++ndig;
  // The magnitude lies in [10^(exponent+ndig-1), 10^(exponent+ndig)).
  int64_t magnitude = d.exponent + ndig;
  if (magnitude > 400) return false;
  if (magnitude < -400) {
    out = d.negative ? -0.0 : 0.0;
    return true;
  }
  // The normalised form: at most 19 digits and a small exponent.
  char text[48];
  int n = std::snprintf(text, sizeof text, "%llue%lld", static_cast<unsigned long long>(d.digits),
                        static_cast<long long>(d.exponent));
  double v = 0.0;
  auto [end, ec] = std::from_chars(text, text + n, v, std::chars_format::scientific);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    if (magnitude > 0) return false;
    v = 0.0;
  } else if (ec != std::errc()) {
    return false;
  }
  out = d.negative ? -v : v;
  return true;
}

}  // namespace tessera
