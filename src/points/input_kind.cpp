#include "points/input_kind.h"

#include <cstring>

#include "points/record_reader.h"
#include "points/text_input.h"

namespace tessera {

namespace {

struct signature {
  const char* bytes;
  int size;
  input_kind kind;
};

// The first bytes of the formats that are refused by name.
const signature signatures[] = {
    {"\x1F\x8B", 2, input_kind::gzip},
    {"PK\x03\x04", 4, input_kind::zip},
    {"PK\x05\x06", 4, input_kind::zip},  // an empty archive
    {"PK\x07\x08", 4, input_kind::zip},  // a spanned archive
    {"\xFD"
     "7zXZ\x00",
     6, input_kind::xz},
    {"\x28\xB5\x2F\xFD", 4, input_kind::zstd},
    {"7z\xBC\xAF\x27\x1C", 6, input_kind::seven_zip},
};

// bzip2: "BZh", the block size '1' to '9', then the magic number of a block
// or of the end of the stream; both are needed, as "BZh1" alone could begin
// a text.
bool is_bzip2(const unsigned char* h, size_t n) {
  return n >= 10 && std::memcmp(h, "BZh", 3) == 0 && h[3] >= '1' && h[3] <= '9' &&
         (std::memcmp(h + 4, "\x31\x41\x59\x26\x53\x59", 6) == 0 ||
          std::memcmp(h + 4, "\x17\x72\x45\x38\x50\x90", 6) == 0);
}

// A LAS (or LAZ) file: "LASF", and its format version 1.0 to 1.4 at bytes
// 24 and 25, which no text beginning with "LASF" holds.
constexpr int las_version_at = 24;
constexpr int las_minor_max = 4;
bool is_las(const unsigned char* h, size_t n) {
  return n >= size_t(las_version_at) + 2 && std::memcmp(h, "LASF", 4) == 0 && h[las_version_at] == 1 &&
         h[las_version_at + 1] <= las_minor_max;
}

char head[input_head_size];

// The line of byte `at` of `text`, counting line ends as the reader does: a
// line feed, a carriage return and a line feed together, or a carriage
// return alone.
int64_t line_of(const char* text, size_t at) {
  int64_t line = 1;
  for (size_t i = 0; i < at; ++i) line += text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n');
  return line;
}

}  // namespace

input_check check_input(FILE* f) {
  std::rewind(f);
  size_t n = std::fread(head, 1, sizeof head, f);
  const unsigned char* h = reinterpret_cast<const unsigned char*>(head);
  for (const signature& s : signatures) {
    if (n >= size_t(s.size) && std::memcmp(h, s.bytes, size_t(s.size)) == 0) return {s.kind, 0};
  }
  if (is_bzip2(h, n)) return {input_kind::bzip2, 0};
  if (is_las(h, n)) return {input_kind::las, 0};

  // The first 0 byte of the text, unless a 0x1A ends the data before it.
  text_input t;
  input_open(t, f);
  n = input_read(t, head, sizeof head);
  size_t at = 0;
  while (at < n && head[at] != 0 && head[at] != 0x1A) ++at;
  if (at == n || head[at] != 0) return {input_kind::text, 0};
  int64_t line = line_of(head, at);
  // A 0 byte is neither a blank nor part of a number, so it cannot lie
  // within a point: it comes before the first one if it lies in the header
  // line, or if no point can be read.
  record_reader probe(f);
  if (probe.next_record() != read_status::record || probe.header_line() == line) return {input_kind::zero_byte, line};
  return {input_kind::text, 0};
}

}  // namespace tessera
