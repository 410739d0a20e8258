// Differential fuzzing of the point reader, record by record: the reader
// with all its tiers must read any bytes exactly as the general scanner
// alone does (the same records bit for bit, the same end, the same stop,
// the same written text, the same notes), whatever the block size. The
// first byte picks the two block sizes; the blocks are heap blocks of
// exactly the size and the look-ahead, so that AddressSanitizer sees any
// read beyond. The survey, its keyed runs at the processor level the
// first byte picks too, must give what the general scanner's survey gives
// through a block of the same size: the count, the bounds' bits and the
// zone map's stretches.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <memory>

#include "../survey_difference.h"
#include "../whole_pass.h"
#include "points/cpu_level.h"

using namespace tessera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int tiered_block = 1 + data[0] % 128;
  int general_block = 1 + (data[0] * 7 + 3) % 128;
  FILE* f = std::tmpfile();
  std::fwrite(data + 1, 1, size - 1, f);
  whole_pass tiered = read_whole(f, tiered_block);
  whole_pass general = read_whole(f, general_block, true);
  if (!pass_difference(tiered, general).empty()) std::abort();
  detail::use_cpu_level(detail::cpu_level(data[0] % 3));
  std::unique_ptr<char[]> block(new char[size_t(tiered_block + reader_look_ahead)]);
  record_reader keyed(f, block.get(), tiered_block);
  const survey_values a = survey_records(keyed, nullptr, zone_map(1 + data[0] % 5));
  record_reader alone(f, block.get(), tiered_block, true);
  const survey_values b = survey_records(alone, nullptr, zone_map(1 + data[0] % 5));
  std::fclose(f);
  if (!survey_difference(a, b).empty()) std::abort();
  return 0;
}
