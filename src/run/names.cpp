#include "run/names.h"

#include <cstring>

namespace {

// The control characters: bytes 1 to 31 (0 ends the name).
constexpr unsigned char first_printable = 0x20;

}  // namespace

bool has_forbidden_character(const char* name) {
  for (const char* p = name; *p != 0; ++p) {
    if (static_cast<unsigned char>(*p) < first_printable || std::strchr("<>:\"|?*", *p) != nullptr) return true;
  }
  return false;
}

bool is_valid_utf8(const char* bytes, size_t length) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < length) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    // The lead byte tells the length of the sequence and the range its
    // second byte must fall in (which rules out overlong forms, surrogates
    // and values past U+10FFFF); later bytes are 0x80 to 0xBF.
    size_t n;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (length - i < n || p[i + 1] < low || p[i + 1] > high) return false;
    for (size_t k = 2; k < n; ++k) {
      if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
    }
    i += n;
  }
  return true;
}
