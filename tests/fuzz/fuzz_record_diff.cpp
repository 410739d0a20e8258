// Differential fuzzing of the point reader, record by record: the reader
// with all its tiers must read any bytes exactly as the general scanner
// alone does (the same records bit for bit, the same end, the same stop,
// the same written text), whatever the block size. The first byte picks the
// two block sizes; the blocks are heap blocks of exactly the size and the
// look-ahead, so that AddressSanitizer sees any read beyond.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "points/record_reader.h"

namespace {

struct pass {
  std::vector<double> values;
  std::string written;
  read_status end;
  int64_t offset, header_line;
  data_stop stop;
  std::string header;
  shifted_line shifted;
};

pass read_all(FILE* f, int block_size, bool general_only) {
  std::unique_ptr<char[]> block(new char[size_t(block_size + reader_look_ahead)]);
  record_reader r(f, block.get(), block_size, general_only);
  pass p;
  char line[record_text_max + 64];
  while ((p.end = r.next_record()) == read_status::record) {
    const record_view& v = r.record();
    p.values.insert(p.values.end(), {v.x(), v.y(), v.z()});
    point_writer w;
    writer_start(w, nullptr);  // never flushed: each record fits `line`
    w.buf = w.pos = line;
    v.write_to(w);
    p.written.append(line, size_t(w.pos - line));
  }
  p.offset = r.offset();
  p.header_line = r.header_line();
  p.header = r.header_text();
  p.stop = r.stop();
  p.shifted = r.shifted();
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int tiered_block = 1 + data[0] % 128;
  int general_block = 1 + (data[0] * 7 + 3) % 128;
  FILE* f = std::tmpfile();
  std::fwrite(data + 1, 1, size - 1, f);
  pass a = read_all(f, tiered_block, false);
  pass b = read_all(f, general_block, true);
  std::fclose(f);
  if (a.values.size() != b.values.size() ||
      (!a.values.empty() && std::memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(double)) != 0)) {
    std::abort();
  }
  if (a.written != b.written || a.end != b.end || a.offset != b.offset || a.header_line != b.header_line ||
      a.header != b.header || a.shifted.line != b.shifted.line || a.shifted.numbers != b.shifted.numbers) {
    std::abort();
  }
  if ((a.end == read_status::not_a_number || a.end == read_status::cut_short) &&
      (a.stop.line != b.stop.line || a.stop.record != b.stop.record || std::strcmp(a.stop.text, b.stop.text) != 0)) {
    std::abort();
  }
  return 0;
}
