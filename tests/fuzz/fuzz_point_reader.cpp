// Fuzzes the point reader on raw bytes: it must end every pass without
// looping, read the same records twice, and never read outside its buffer.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "points/record_reader.h"

using namespace tessera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::tmpfile();
  std::fwrite(data, 1, size, f);
  int64_t counts[2];
  read_status ends[2];
  int64_t offsets[2];
  double sums[2];
  for (int pass = 0; pass < 2; ++pass) {
    record_reader r(f);
    double sum = 0;
    read_status status;
    while ((status = r.next_record()) == read_status::record) {
      const record_view& v = r.record();
      if (!std::isfinite(v.x()) || !std::isfinite(v.y()) || !std::isfinite(v.z())) std::abort();
      sum += v.x() + v.y() + v.z();
    }
    if (r.records() * 3 > int64_t(size)) std::abort();  // three numbers need three bytes at least
    counts[pass] = r.records();
    ends[pass] = status;
    offsets[pass] = r.offset();
    sums[pass] = sum;
  }
  if (counts[0] != counts[1] || ends[0] != ends[1] || offsets[0] != offsets[1]) std::abort();
  if (!(sums[0] == sums[1] || (std::isnan(sums[0]) && std::isnan(sums[1])))) std::abort();
  std::fclose(f);
  return 0;
}
