// The answers of a stream as UTF-8: UTF-16 behind its byte-order mark is
// converted a character at a time; other bytes pass as they are.
#include "run/piped_answers.h"

#include "points/unicode.h"

namespace tessera {

namespace {

void queue(piped_answers& a, unsigned char b) { a.pending[a.pending_count++] = b; }

// Queues the UTF-8 bytes of the character `cp`.
void queue_utf8(piped_answers& a, unsigned cp) {
  a.pending_at = 0;
  a.pending_count = encode_utf8(cp, a.pending);
}

// The next UTF-16 unit; EOF at the end, or -2 for a last byte alone.
constexpr int odd_byte = -2;
int next_unit(piped_answers& a) {
  if (a.carried_unit >= 0) {
    int unit = a.carried_unit;
    a.carried_unit = -1;
    return unit;
  }
  int first = std::getc(a.in);
  if (first == EOF) return EOF;
  int second = std::getc(a.in);
  if (second == EOF) return odd_byte;
  return a.encoding == answer_encoding::utf16_le ? first | (second << 8) : (first << 8) | second;
}

// Decodes the next character into `pending`; false at the end.
bool decode_utf16(piped_answers& a) {
  int unit = next_unit(a);
  if (unit == EOF) return false;
  unsigned cp = replacement_character;
  if (unit >= 0 && is_high_surrogate(unsigned(unit))) {
    int low = next_unit(a);
    if (low >= 0 && is_low_surrogate(unsigned(low))) {
      cp = from_surrogates(unsigned(unit), unsigned(low));
    } else if (low >= 0) {
      a.carried_unit = low;  // a character of its own
    }
  } else if (unit >= 0 && !is_low_surrogate(unsigned(unit))) {
    cp = unsigned(unit);
  }
  queue_utf8(a, cp);
  return true;
}

// Reads the first two bytes: a UTF-16 mark sets the encoding and is
// dropped; other bytes are kept to be taken as they stand.
void find_encoding(piped_answers& a) {
  a.encoding = answer_encoding::bytes;
  int first = std::getc(a.in);
  if (first == EOF) return;
  if (first == 0xFF || first == 0xFE) {
    int second = std::getc(a.in);
    if (first == 0xFF && second == 0xFE) {
      a.encoding = answer_encoding::utf16_le;
      return;
    }
    if (first == 0xFE && second == 0xFF) {
      a.encoding = answer_encoding::utf16_be;
      return;
    }
    queue(a, static_cast<unsigned char>(first));
    if (second != EOF) queue(a, static_cast<unsigned char>(second));
    return;
  }
  queue(a, static_cast<unsigned char>(first));
}

}  // namespace

int piped_getc(piped_answers& a) {
  if (a.given_back != EOF) {
    int c = a.given_back;
    a.given_back = EOF;
    return c;
  }
  if (a.encoding == answer_encoding::unknown) find_encoding(a);
  if (a.pending_at == a.pending_count) {
    a.pending_at = a.pending_count = 0;
    if (!piped_is_utf16(a)) return std::getc(a.in);
    if (!decode_utf16(a)) return EOF;
  }
  return a.pending[a.pending_at++];
}

void piped_unget(piped_answers& a, int c) { a.given_back = c; }

}  // namespace tessera
