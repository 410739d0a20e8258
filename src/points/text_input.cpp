#include "points/text_input.h"

#include <cstring>

#include "points/unicode.h"

namespace tessera {

namespace {

bool is_utf16(const text_input& t) { return t.encoding != text_encoding::bytes; }

// Keeps at least 4 undecoded bytes (a surrogate pair) at hand while the file
// has more.
void fill_raw(text_input& t) {
  if (t.raw_ended || t.raw_len - t.raw_at >= 4) return;
  int kept = t.raw_len - t.raw_at;
  std::memmove(t.raw, t.raw + t.raw_at, size_t(kept));
  t.raw_at = 0;
  t.raw_len = kept;
  while (!t.raw_ended && t.raw_len < 4) {
    size_t n = std::fread(t.raw + t.raw_len, 1, size_t(utf16_piece - t.raw_len), t.file);
    if (n == 0) t.raw_ended = true;
    t.raw_len += int(n);
  }
}

unsigned unit_at(const text_input& t, int at) {
  const unsigned char* p = t.raw + at;
  return t.encoding == text_encoding::utf16_little_endian ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1];
}

// Decodes the next character into t.decoded. False at the end of the file.
// A unit that makes no character (a lone surrogate, an odd last byte)
// becomes the replacement character, which is not a number.
bool decode_next(text_input& t) {
  fill_raw(t);
  int left = t.raw_len - t.raw_at;
  if (left == 0) return false;
  unsigned cp = replacement_character;
  if (left == 1) {
    t.raw_at += 1;
  } else {
    unsigned u = unit_at(t, t.raw_at);
    t.raw_at += 2;
    if (!is_high_surrogate(u) && !is_low_surrogate(u)) {
      cp = u;
    } else if (is_high_surrogate(u) && left >= 4) {
      unsigned v = unit_at(t, t.raw_at);
      if (is_low_surrogate(v)) {
        cp = from_surrogates(u, v);
        t.raw_at += 2;
      }
    }
  }
  t.decoded_at = 0;
  t.decoded_len = encode_utf8(cp, t.decoded);
  return true;
}

}  // namespace

void input_open(text_input& t, FILE* file) {
  t.file = file;
  t.encoding = text_encoding::bytes;
  std::rewind(file);
  unsigned char mark[2];
  if (std::fread(mark, 1, 2, file) == 2) {
    if (mark[0] == 0xFF && mark[1] == 0xFE) t.encoding = text_encoding::utf16_little_endian;
    if (mark[0] == 0xFE && mark[1] == 0xFF) t.encoding = text_encoding::utf16_big_endian;
  }
  input_rewind(t);
}

void input_rewind(text_input& t) {
  std::rewind(t.file);
  t.raw_at = t.raw_len = 0;
  t.raw_ended = false;
  t.decoded_at = t.decoded_len = 0;
}

size_t input_read(text_input& t, char* to, size_t n) {
  if (!is_utf16(t)) return std::fread(to, 1, n, t.file);
  size_t got = 0;
  while (got < n) {
    if (t.decoded_at == t.decoded_len) {
      // ASCII, most of any point file, is copied a unit at a time.
      while (got < n && t.raw_len - t.raw_at >= 2) {
        unsigned u = unit_at(t, t.raw_at);
        if (u >= 0x80) break;
        to[got++] = char(u);
        t.raw_at += 2;
      }
      if (got == n || !decode_next(t)) break;
    }
    to[got++] = static_cast<char>(t.decoded[t.decoded_at++]);
  }
  return got;
}

int input_peek(text_input& t) {
  if (!is_utf16(t)) {
    int c = std::getc(t.file);
    if (c != EOF) std::ungetc(c, t.file);
    return c;
  }
  if (t.decoded_at == t.decoded_len && !decode_next(t)) return EOF;
  return static_cast<unsigned char>(t.decoded[t.decoded_at]);
}

}  // namespace tessera
