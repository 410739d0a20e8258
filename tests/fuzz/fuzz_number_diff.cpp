// Differential fuzzing: wherever the scanner reads a number, its value must
// be bit for bit the reference's (strtod on the 19-digit form), and the fast
// paths of the point reader must agree with the general scanner.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../reference_number.h"
#include "points/fast_number.h"
#include "points/number_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;
  struct source {
    const char* p;
    int peek() const { return *p != 0 ? static_cast<unsigned char>(*p) : -1; }
    void bump() { ++p; }
  } s{text.c_str()};
  skip_space(s);
  const char* start = s.p;
  decimal_number d;
  double value = 0;
  bool ok = scan_decimal(s, d) && decimal_to_double(d, value);
  if (ok) {
    double want = reference(std::string(start, s.p));
    if (std::memcmp(&value, &want, sizeof value) != 0) std::abort();
  }
  std::string padded = text + std::string(32, '\0');
  const char* p = padded.c_str() + (start - text.c_str());
  double fast;
  if (fast_number(p, fast)) {
    if (!ok || p - padded.c_str() != s.p - text.c_str() || std::memcmp(&fast, &value, sizeof fast) != 0) std::abort();
  }
  return 0;
}
