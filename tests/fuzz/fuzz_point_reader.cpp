// Fuzzes the point reader on raw bytes: it must end every pass without
// looping, read the same records twice, and never read outside its buffer.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "points/point_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::tmpfile();
  std::fwrite(data, 1, size, f);
  int64_t counts[2];
  read_status ends[2];
  int64_t offsets[2];
  double sums[2];
  for (int pass = 0; pass < 2; ++pass) {
    point_reader r;
    reader_start(r, f);
    point_record p;
    double sum = 0;
    read_status status;
    while ((status = read_record(r, p)) == read_status::record) {
      if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z)) std::abort();
      sum += p.X + p.Y + p.Z;
    }
    if (int64_t(r.records) * 3 > int64_t(size)) std::abort();  // three numbers need three bytes at least
    counts[pass] = r.records;
    ends[pass] = status;
    offsets[pass] = reader_offset(r);
    sums[pass] = sum;
  }
  if (counts[0] != counts[1] || ends[0] != ends[1] || offsets[0] != offsets[1]) std::abort();
  if (!(sums[0] == sums[1] || (std::isnan(sums[0]) && std::isnan(sums[1])))) std::abort();
  std::fclose(f);
  return 0;
}
