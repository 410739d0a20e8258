#include "points/point_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// One block for the input and one for the output: the passes run one at a
// time, and neither ever needs more.
char input_block[input_block_size + input_block_padding];
char output_block[output_block_size + record_text_max];

// Cleans freshly read bytes in place: the data ends at a 0x1A byte, and
// carriage returns are removed. Returns the number of bytes kept.
size_t clean_block(point_reader& r, size_t n) {
  if (char* stop = static_cast<char*>(std::memchr(r.buf, 0x1A, n))) {
    n = size_t(stop - r.buf);
    r.eof = true;
  }
  char* cr = static_cast<char*>(std::memchr(r.buf, '\r', n));
  if (cr == nullptr) return n;
  char* out = cr;
  for (const char* in = cr; in != r.buf + n; ++in) {
    if (*in != '\r') *out++ = *in;
  }
  return size_t(out - r.buf);
}

// Moves past the consumed buffer and reads the next block. False at the end
// of the data (or on a read error, which read_errno then holds).
// The consumed block stays in place when nothing more comes, so that a stop
// at the very end can still be placed on its line.
bool refill(point_reader& r) {
  while (!r.eof) {
    int64_t bytes = r.end - r.buf;
    size_t n = std::fread(r.buf, 1, input_block_size, r.file);
    if (n < size_t(input_block_size)) {
      if (std::ferror(r.file)) r.read_errno = errno != 0 ? errno : EIO;
      r.eof = true;
    }
    if (n == 0) return false;
    r.consumed += bytes;
    n = clean_block(r, n);
    r.pos = r.buf;
    r.end = r.buf + n;
    *r.end = 0;
    if (n > 0) return true;
  }
  return false;
}

// A character source that refills the buffer as it goes: used where a record
// may cross the end of the buffer.
struct stream_source {
  point_reader& r;
  int peek() {
    if (r.pos == r.end && !refill(r)) return -1;
    return static_cast<unsigned char>(*r.pos);
  }
  void bump() { ++r.pos; }
};

// Copies the text of the whitespace-delimited token around `at` (a position
// in the buffer) into `out`, shortened, with non-printable bytes as '?'.
void token_text(const point_reader& r, const char* at, char (&out)[48]) {
  const char* start = at;
  while (start > r.buf && !is_space(static_cast<unsigned char>(start[-1]))) --start;
  const char* stop = at;
  while (stop < r.end && !is_space(static_cast<unsigned char>(*stop))) ++stop;
  constexpr size_t shown = 32;
  size_t len = std::min(size_t(stop - start), shown);
  for (size_t i = 0; i < len; ++i) {
    unsigned char c = static_cast<unsigned char>(start[i]);
    out[i] = c >= 0x20 && c < 0x7F ? char(c) : '?';
  }
  if (size_t(stop - start) > shown) {
    std::memcpy(out + len, "...", 3);
    len += 3;
  }
  out[len] = 0;
}

// The line of a cleaned offset in the data, counted by reading the file again
// from its start: only a stop needs it, so the passes never count lines.
// Uses the reader's buffer, so it is called only when the pass is over.
int64_t line_of(point_reader& r, int64_t offset) {
  std::fseek(r.file, 0, SEEK_SET);
  r.eof = false;
  int64_t line = 1;
  while (offset > 0 && !r.eof) {
    size_t n = std::fread(r.buf, 1, input_block_size, r.file);
    if (n < size_t(input_block_size)) r.eof = true;
    n = clean_block(r, n);
    int64_t take = offset < int64_t(n) ? offset : int64_t(n);
    line += std::count(r.buf, r.buf + take, '\n');
    offset -= take;
  }
  return line;
}

// Records where the reading stopped and ends the pass there. `token` is the
// cleaned offset of the offending text; it may lie before the buffer if a
// refill came since.
void note_stop(point_reader& r, int64_t token, bool with_text) {
  const char* at = token >= r.consumed ? r.buf + (token - r.consumed) : r.buf;
  if (at > r.end) at = r.end;
  r.stop.record = r.records + 1;
  if (with_text) {
    token_text(r, at, r.stop.text);
  } else {
    r.stop.text[0] = 0;
  }
  int64_t end = reader_offset(r);
  r.stop.line = line_of(r, token);
  // The pass ends where it stopped; the buffer now holds other bytes.
  r.consumed = end;
  r.pos = r.end = r.buf;
  *r.end = 0;
  r.eof = true;
}

// Skips the first non-blank line if it does not begin with a number.
void skip_header(point_reader& r) {
  stream_source s{r};
  skip_space(s);
  if (s.peek() < 0) return;
  struct {
    const char* p;
    int peek() const { return static_cast<unsigned char>(*p); }
    void bump() { ++p; }
  } first{r.pos};
  decimal_number d;
  double v;
  bool number = scan_decimal(first, d) && decimal_to_double(d, v);
  // A first number cut by the end of the buffer is over a megabyte long:
  // not a header, and the pass will judge it.
  if (number || (first.p == r.end && !r.eof)) return;
  r.header_line = 1 + std::count(static_cast<const char*>(r.buf), static_cast<const char*>(r.pos), '\n');
  token_text(r, r.pos, r.header_text);
  while (s.peek() >= 0 && *r.pos != '\n') {
    const char* nl = static_cast<const char*>(std::memchr(r.pos, '\n', size_t(r.end - r.pos)));
    r.pos = nl != nullptr ? const_cast<char*>(nl) : r.end;
  }
  if (s.peek() == '\n') s.bump();
}

}  // namespace

void reader_start(point_reader& r, FILE* file) {
  r = point_reader{};
  r.file = file;
  r.buf = r.pos = r.end = input_block;
  *r.end = 0;
  std::rewind(file);
  skip_header(r);
}

read_status read_record_slow(point_reader& r, point_record& p) {
  stream_source s{r};
  double v[3];
  int64_t token = 0;
  for (int i = 0; i < 3; ++i) {
    skip_space(s);
    if (s.peek() < 0) {
      if (r.read_errno != 0) return read_status::read_error;
      if (i == 0) return read_status::end_of_data;
      // The record's last number tells the line.
      note_stop(r, token, false);
      return read_status::cut_short;
    }
    token = reader_offset(r);
    decimal_number d;
    if (!scan_decimal(s, d) || !decimal_to_double(d, v[i])) {
      if (r.read_errno != 0) return read_status::read_error;
      note_stop(r, token, true);
      return read_status::not_a_number;
    }
  }
  ++r.records;
  p = {v[0], v[1], v[2]};
  return read_status::record;
}

read_status next_record_learning(point_reader& r) {
  const char* s = r.pos;
  r.text = nullptr;
  char_masks m = char_masks_at<4>(s);
  uint64_t delimiter = m.space | m.nul;
  record_layout& l = r.layout;
  uint64_t starts = ~delimiter;
  int a0 = starts != 0 ? __builtin_ctzll(starts) : 64;
  uint64_t ends = a0 < 64 ? delimiter & (~uint64_t(0) << a0) : 0;
  int e0 = ends != 0 ? __builtin_ctzll(ends) : 64;
  starts = e0 < 64 ? starts & (~uint64_t(0) << e0) : 0;
  int a1 = starts != 0 ? __builtin_ctzll(starts) : 64;
  ends = a1 < 64 ? delimiter & (~uint64_t(0) << a1) : 0;
  int e1 = ends != 0 ? __builtin_ctzll(ends) : 64;
  starts = e1 < 64 ? starts & (~uint64_t(0) << e1) : 0;
  int a2 = starts != 0 ? __builtin_ctzll(starts) : 64;
  ends = a2 < 64 ? delimiter & (~uint64_t(0) << a2) : 0;
  int e2 = ends != 0 ? __builtin_ctzll(ends) : 64;
  // The record must end inside the window, with no 0 byte up to and
  // including its delimiter (the sentinel may hide more data).
  l.known = false;
  if (e2 == 64 || (m.nul & ((uint64_t(2) << e2) - 1)) != 0 ||
      !layout_token(s, a0, e0, m.digit, m.point, l.token[0]) || !layout_token(s, a1, e1, m.digit, m.point, l.token[1]) ||
      !layout_token(s, a2, e2, m.digit, m.point, l.token[2])) {
    return read_record_by_numbers(r, r.values);
  }
  l.known = true;
  l.range = (uint64_t(2) << e2) - 1;
  for (int i = 0; i < 64; ++i) l.pattern[i] = i <= e2 && s[i] >= '0' && s[i] <= '9' ? '0' : s[i];
  l.end = e2;
  l.copyable = copyable(l.token[0]) && copyable(l.token[1]) && copyable(l.token[2]);
  r.text = s;
  r.pos = const_cast<char*>(s + e2);
  ++r.records;
  return read_status::record;
}

void writer_start(point_writer& w, FILE* file) {
  w.file = file;
  w.buf = w.pos = output_block;
  w.limit = output_block + output_block_size;
  w.write_errno = 0;
}

bool writer_flush(point_writer& w) {
  size_t n = size_t(w.pos - w.buf);
  w.pos = w.buf;
  if (w.write_errno != 0) return false;
  if (n != 0 && std::fwrite(w.buf, 1, n, w.file) != n) {
    w.write_errno = errno != 0 ? errno : EIO;
    return false;
  }
  return true;
}
