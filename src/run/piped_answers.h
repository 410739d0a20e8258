// The bytes of the answers read from a stream (a pipe or a file), as UTF-8.
//
// A stream that starts with a UTF-16 byte-order mark (FF FE, little-endian,
// as PowerShell's `>` and Out-File write; FE FF, big-endian) is read as the
// UTF-16 text it holds and handed over as UTF-8; any other stream is handed
// over as its bytes. The same on every host.
#pragma once

#include <cstdio>

namespace tessera {

// Where the answers stand after the first bytes of the stream.
enum class answer_encoding { unknown, bytes, utf16_le, utf16_be };

struct piped_answers {
  FILE* in = nullptr;
  answer_encoding encoding = answer_encoding::unknown;
  // UTF-8 bytes decoded and not yet taken (a character is at most 4), or
  // the bytes read to look for a mark that was not one.
  unsigned char pending[4];
  int pending_count = 0;
  int pending_at = 0;
  // A UTF-16 unit read after a high surrogate that it did not complete.
  int carried_unit = -1;
  // A byte given back by piped_unget.
  int given_back = EOF;
};

// The next byte of the answers, or EOF.
int piped_getc(piped_answers& a);

// Gives back the byte piped_getc just gave: it is the next one again.
void piped_unget(piped_answers& a, int c);

// True once the stream is known to hold UTF-16.
inline bool piped_is_utf16(const piped_answers& a) {
  return a.encoding == answer_encoding::utf16_le || a.encoding == answer_encoding::utf16_be;
}

}  // namespace tessera
