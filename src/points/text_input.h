// The bytes the point reader reads. A file of UTF-16 text, one that begins
// with its byte-order mark (FF FE, little-endian, or FE FF, big-endian, as
// Windows PowerShell 5 writes with `>`), is read as the same text in UTF-8,
// its mark included (EF BB BF), so the reader meets it as it meets a UTF-8
// file; every other file is read as its bytes. Both passes read the same
// bytes, so the offsets they compare agree.
#pragma once

#include <cstddef>
#include <cstdio>

namespace tessera {

enum class text_encoding { bytes, utf16_little_endian, utf16_big_endian };

// UTF-16 input is read from the file in pieces of this many bytes (stdio
// buffers the file itself), then decoded.
constexpr int utf16_piece = 4096;

struct text_input {
  FILE* file = nullptr;
  text_encoding encoding = text_encoding::bytes;
  // UTF-16 only: bytes read and not yet decoded, [raw_at, raw_len) of raw;
  // and the bytes of the last decoded character not yet taken.
  unsigned char raw[utf16_piece] = {};
  int raw_at = 0;
  int raw_len = 0;
  bool raw_ended = false;  // the file has no more bytes
  unsigned char decoded[4] = {};
  int decoded_at = 0;
  int decoded_len = 0;
};

// Starts reading `file` from its beginning, its encoding told by its first
// bytes.
void input_open(text_input& t, FILE* file);

// Goes back to the beginning of the text.
void input_rewind(text_input& t);

// Reads up to `n` bytes of text into `to`, as fread does: fewer only at the
// end of the file or on a read error (see input_error).
size_t input_read(text_input& t, char* to, size_t n);

// The next byte of text, left unread, or EOF.
int input_peek(text_input& t);

// Whether reading the file failed.
inline bool input_error(const text_input& t) { return std::ferror(t.file) != 0; }

}  // namespace tessera
