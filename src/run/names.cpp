#include "run/names.h"

#include <cstring>

#include "points/unicode.h"

namespace tessera {

namespace {

// The control characters: bytes 1 to 31 (0 ends the name).
constexpr unsigned char first_printable = 0x20;

// The root as a pasted path spells it, without its drive letter.
constexpr const char* pasted_root = ":\\images\\";

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

bool has_forbidden_character(const char* name) {
  for (const char* p = name; *p != 0; ++p) {
    if (static_cast<unsigned char>(*p) < first_printable || std::strchr("<>:\"|?*", *p) != nullptr) return true;
  }
  return false;
}

bool is_pasted_path(const char* answer, char* under_root, size_t size) {
  under_root[0] = 0;
  const char* p = answer[0] == '"' ? answer + 1 : answer;
  if (!is_letter(p[0]) || p[1] != ':' || p[2] != '\\') return false;
  // C:\images\ in any case, then the name up to a closing quote or a last
  // backslash.
  if (lower(p[0]) != 'c') return true;
  const char* rest = p + 1;
  for (const char* r = pasted_root; *r != 0; ++r, ++rest) {
    if (lower(*rest) != *r) return true;
  }
  size_t n = std::strlen(rest);
  // A quoted path without its closing quote was cut at a blank: its name
  // cannot be typed as one answer.
  bool quoted = p != answer;
  if (quoted && (n == 0 || rest[n - 1] != '"')) return true;
  if (quoted) --n;
  while (n > 0 && rest[n - 1] == '\\') --n;
  if (n == 0 || n >= size) return true;
  std::memcpy(under_root, rest, n);
  under_root[n] = 0;
  if (has_forbidden_character(under_root)) under_root[0] = 0;
  return true;
}

bool is_valid_utf8(const char* bytes, size_t length) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < length;) {
    size_t n = size_t(utf8_sequence_length(p[i]));
    if (n == 0 || length - i < n) return false;
    if (n > 1 && !utf8_second_byte_fits(p[i], p[i + 1])) return false;
    for (size_t k = 2; k < n; ++k) {
      if (!utf8_continuation(p[i + k])) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace tessera
