// The start of a text as a message quotes it: a refused answer, a header, the
// text where a pass stopped. At most quoted_chars characters are kept, then
// "..." if the text goes on. A printable ASCII byte is a character, and so is
// a whole, valid UTF-8 sequence of a printable character (`Höhe` shows as
// typed); every other byte (a control, a byte that is not part of valid
// UTF-8) shows as one '?' and counts as one character, so a text that is
// not UTF-8 is quoted byte for byte as it always was.
#pragma once

namespace tessera {

constexpr int quoted_chars = 32;
// The longest character of UTF-8 takes 4 bytes.
constexpr int utf8_bytes_max = 4;
// Room for the quoted characters, "..." and the terminator.
constexpr int quoted_text_size = quoted_chars * utf8_bytes_max + 3 + 1;

// Collects the bytes of a text one at a time into `out`, which always holds
// a terminated text.
struct quoted_text {
  char (&out)[quoted_text_size];
  int len = 0;         // bytes in out
  int chars = 0;       // characters in out
  unsigned char pending[utf8_bytes_max] = {};  // a UTF-8 sequence begun, not yet complete
  int pending_len = 0;
  int pending_need = 0;  // its whole length
  bool done = false;

  explicit quoted_text(char (&to)[quoted_text_size]) : out(to) { out[0] = 0; }

  // Takes the next byte of a token (a text that ends at a blank), or -1 at
  // its end. False once the token has ended, at a blank or at -1 or when
  // "..." has been written.
  bool add_token_byte(int c);

  // Takes the next byte of a text (-1 at its end). False once "..." has been
  // written or the text has ended.
  bool add(int c);

 private:
  void put(const char* bytes, int n);
  void flush_pending();
};

}  // namespace tessera
