// Differential fuzzing: wherever the scanner reads a number, its value must
// be bit for bit the reference's (strtod on the 19-digit form). (The fast
// paths of the point reader are checked against the scanner record by
// record in fuzz_record_diff.)
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../reference_number.h"
#include "points/number_scan.h"

using namespace tessera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;
  text_source s{text.c_str()};
  skip_space(s);
  const char* start = s.p;
  decimal_number d;
  double value = 0;
  bool ok = scan_decimal(s, d) && decimal_to_double(d, value);
  if (ok) {
    double want = reference(std::string(start, s.p));
    if (std::memcmp(&value, &want, sizeof value) != 0) std::abort();
  }
  return 0;
}
