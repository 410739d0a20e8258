// UTF-8 and UTF-16 as the program meets them: in point files, in quoted
// texts and in answers. One place for the rules of both encodings.
#pragma once

namespace tessera {

// What stands for text that makes no character: a UTF-16 surrogate without
// its other half, a last byte alone.
constexpr unsigned replacement_character = 0xFFFD;

// The length of the UTF-8 sequence byte `c` begins: 1 for ASCII, 2 to 4 for
// a lead byte, 0 for a byte that begins none (a continuation byte, the
// overlong leads C0 and C1, a lead past U+10FFFF).
inline int utf8_sequence_length(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

// Whether `c` may be the second byte of the sequence `lead` begins: the
// ranges that rule out overlong forms, surrogates and values past U+10FFFF.
// Every later byte is 0x80 to 0xBF.
inline bool utf8_second_byte_fits(unsigned char lead, unsigned char c) {
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  return c >= low && c <= high;
}

inline bool utf8_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Writes the UTF-8 bytes of character `cp` to `out` (room for 4): 1 to 4
// bytes, the first telling how many, each later one carrying 6 bits.
// Returns how many.
inline int encode_utf8(unsigned cp, unsigned char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<unsigned char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
  return 4;
}

// A character past U+FFFF is two UTF-16 units: a high surrogate (D800 to
// DBFF) with its upper 10 bits, then a low one (DC00 to DFFF) with its lower
// 10 bits, both counted from U+10000.
constexpr unsigned first_high_surrogate = 0xD800;
constexpr unsigned first_low_surrogate = 0xDC00;
constexpr unsigned last_low_surrogate = 0xDFFF;
constexpr unsigned first_beyond_16_bits = 0x10000;
constexpr int surrogate_bits = 10;

inline bool is_high_surrogate(unsigned unit) { return unit >= first_high_surrogate && unit < first_low_surrogate; }
inline bool is_low_surrogate(unsigned unit) { return unit >= first_low_surrogate && unit <= last_low_surrogate; }

// The character of a high and a low surrogate.
inline unsigned from_surrogates(unsigned high, unsigned low) {
  return first_beyond_16_bits + ((high - first_high_surrogate) << surrogate_bits) + (low - first_low_surrogate);
}

}  // namespace tessera
