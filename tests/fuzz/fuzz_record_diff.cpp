// Differential fuzzing of the point reader, record by record: the reader
// with all its tiers must read any bytes exactly as the general scanner
// alone does (the same records bit for bit, the same end, the same stop,
// the same written text, the same notes), whatever the block size. The
// first byte picks the two block sizes; the blocks are heap blocks of
// exactly the size and the look-ahead, so that AddressSanitizer sees any
// read beyond.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "../whole_pass.h"

using namespace tessera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int tiered_block = 1 + data[0] % 128;
  int general_block = 1 + (data[0] * 7 + 3) % 128;
  FILE* f = std::tmpfile();
  std::fwrite(data + 1, 1, size - 1, f);
  whole_pass tiered = read_whole(f, tiered_block);
  whole_pass general = read_whole(f, general_block, true);
  std::fclose(f);
  if (!pass_difference(tiered, general).empty()) std::abort();
  return 0;
}
