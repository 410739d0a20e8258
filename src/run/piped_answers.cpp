// The answers of a stream as UTF-8: UTF-16 behind its byte-order mark is
// converted a character at a time; other bytes pass as they are.
#include "run/piped_answers.h"

namespace {

// What stands for a UTF-16 unit that makes no character: a surrogate
// without its other half, or a last byte alone.
constexpr unsigned replacement_character = 0xFFFD;

// A character past U+FFFF is two UTF-16 units: a high surrogate (D800 to
// DBFF) with its upper 10 bits, then a low one (DC00 to DFFF) with its lower
// 10 bits, both counted from U+10000.
constexpr int first_high_surrogate = 0xD800;
constexpr int first_low_surrogate = 0xDC00;
constexpr int last_low_surrogate = 0xDFFF;
constexpr unsigned first_beyond_16_bits = 0x10000;
constexpr int surrogate_bits = 10;

void queue(piped_answers& a, unsigned char b) { a.pending[a.pending_count++] = b; }

// Queues the UTF-8 bytes of the character `cp`: 1 to 4 bytes, the first
// telling how many, each later one carrying 6 bits.
void queue_utf8(piped_answers& a, unsigned cp) {
  a.pending_count = a.pending_at = 0;
  if (cp < 0x80) {
    queue(a, static_cast<unsigned char>(cp));
  } else if (cp < 0x800) {
    queue(a, static_cast<unsigned char>(0xC0 | (cp >> 6)));
    queue(a, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    queue(a, static_cast<unsigned char>(0xE0 | (cp >> 12)));
    queue(a, static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
    queue(a, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
  } else {
    queue(a, static_cast<unsigned char>(0xF0 | (cp >> 18)));
    queue(a, static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F)));
    queue(a, static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
    queue(a, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
  }
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

bool is_high_surrogate(int unit) { return unit >= first_high_surrogate && unit < first_low_surrogate; }
bool is_low_surrogate(int unit) { return unit >= first_low_surrogate && unit <= last_low_surrogate; }

// Decodes the next character into `pending`; false at the end.
bool decode_utf16(piped_answers& a) {
  int unit = next_unit(a);
  if (unit == EOF) return false;
  unsigned cp = replacement_character;
  if (is_high_surrogate(unit)) {
    int low = next_unit(a);
    if (is_low_surrogate(low)) {
      cp = first_beyond_16_bits + (unsigned(unit - first_high_surrogate) << surrogate_bits) +
           unsigned(low - first_low_surrogate);
    } else if (low >= 0) {
      a.carried_unit = low;  // a character of its own
    }
  } else if (unit >= 0 && !is_low_surrogate(unit)) {
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
