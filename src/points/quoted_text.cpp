#include "points/quoted_text.h"

#include <cstring>

#include "points/number_scan.h"
#include "points/unicode.h"

namespace tessera {

namespace {

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
    unsigned char b = static_cast<unsigned char>(c);
    if (c >= 0 && (pending_len == 1 ? utf8_second_byte_fits(pending[0], b) : utf8_continuation(b))) {
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
  } else if (int n = utf8_sequence_length(static_cast<unsigned char>(c)); n > 1) {
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

}  // namespace tessera
