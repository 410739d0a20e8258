#include "points/quoted_text.h"

#include <cstring>

#include "points/number_scan.h"

namespace {

// The length of the UTF-8 sequence a byte begins, or 0 if it begins none
// (a continuation byte, an overlong lead C0 or C1, a lead beyond U+10FFFF).
int sequence_length(int c) {
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

// Whether `c` may follow `lead` as the second byte of its sequence: the
// ranges that exclude overlong forms, surrogates and values past U+10FFFF.
bool second_byte_fits(int lead, int c) {
  int lo = 0x80, hi = 0xBF;
  if (lead == 0xE0) lo = 0xA0;
  if (lead == 0xED) hi = 0x9F;
  if (lead == 0xF0) lo = 0x90;
  if (lead == 0xF4) hi = 0x8F;
  return c >= lo && c <= hi;
}

// The code point of a complete, valid sequence.
unsigned code_point(const unsigned char* s, int n) {
  unsigned cp = s[0] & (0xFF >> (n + 1));
  for (int i = 1; i < n; ++i) cp = (cp << 6) | (s[i] & 0x3F);
  return cp;
}

// The C1 controls and the byte-order mark (invisible within a text) are
// not shown as themselves.
bool printable(unsigned cp) { return cp >= 0xA0 && cp != 0xFEFF; }

}  // namespace

void quoted_text::put(const char* bytes, int n) {
  if (done) return;
  if (chars == quoted_chars) {
    std::memcpy(out + len, "...", 3);
    len += 3;
    done = true;
  } else {
    std::memcpy(out + len, bytes, size_t(n));
    len += n;
    ++chars;
  }
  out[len] = 0;
}

// The bytes of a sequence cut short: one '?' each.
void quoted_text::flush_pending() {
  for (int i = 0; i < pending_len; ++i) put("?", 1);
  pending_len = 0;
}

bool quoted_text::add(int c) {
  if (done) return false;
  if (pending_len > 0) {
    if (c >= 0 && (pending_len == 1 ? second_byte_fits(pending[0], c) : (c & 0xC0) == 0x80)) {
      pending[pending_len++] = static_cast<unsigned char>(c);
      if (pending_len < pending_need) return true;
      if (printable(code_point(pending, pending_len))) {
        int n = pending_len;
        pending_len = 0;
        put(reinterpret_cast<const char*>(pending), n);
      } else {
        flush_pending();
      }
      return !done;
    }
    flush_pending();
  }
  if (c < 0) {
    done = true;
  } else if (int n = sequence_length(c); n != 0) {
    pending[0] = static_cast<unsigned char>(c);
    pending_len = 1;
    pending_need = n;
  } else {
    char shown = c >= 0x20 && c < 0x7F ? char(c) : '?';
    put(&shown, 1);
  }
  return !done;
}

bool quoted_text::add_token_byte(int c) {
  return add(c >= 0 && is_space(c) ? -1 : c);
}
