// Differential fuzzing of the layouts: the reader with all its tiers, and
// the general scanner alone, must read any bytes as the plain line-by-line
// reader of the tests does (the same records bit for bit, the same written
// text with the extra columns, the same end and stop line, the same layout
// and skipped lines). The first byte picks the two block sizes; the blocks
// are heap blocks of exactly the size and the look-ahead, so that
// AddressSanitizer sees any read beyond.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "../plain_reader.h"

using namespace tessera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int tiered_block = 1 + data[0] % 128;
  int general_block = 1 + (data[0] * 7 + 3) % 128;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  // UTF-16 text is decoded before the reader meets it; the plain reader
  // reads bytes only.
  if (bytes.size() >= 2 && ((bytes[0] == '\xff' && bytes[1] == '\xfe') || (bytes[0] == '\xfe' && bytes[1] == '\xff'))) {
    return 0;
  }
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  whole_pass tiered = read_whole(f, tiered_block);
  whole_pass general = read_whole(f, general_block, true);
  std::fclose(f);
  whole_pass want = plain::read(bytes);
  if (!plain::difference(tiered, want).empty() || !plain::difference(general, want).empty()) std::abort();
  return 0;
}
