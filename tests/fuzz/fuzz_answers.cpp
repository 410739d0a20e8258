// Fuzzes the answer reader: tokens and numbers read in turn from arbitrary
// text, as the dialogue reads them, must end without overrunning a buffer
// and without looping.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "run/dialogue.h"

using namespace tessera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = std::tmpfile();
  std::fwrite(data, 1, size, in);
  std::rewind(in);
  for (int turn = 0;; ++turn) {
    answer a;
    if (turn % 2 == 0) {
      char token[name_size];
      a = read_token(in, token);
      if (a == answer::read && std::strlen(token) >= size_t(name_size)) std::abort();
    } else {
      double value;
      shown_answer refused{};
      a = read_number(in, value, refused);
      if (std::strlen(refused.text) > size_t(quoted_text_size) - 1) std::abort();
    }
    if (a == answer::ended) break;
    if (a == answer::refused) {  // the dialogue discards the rest of the line (to LF or CR)
      int c;
      do c = std::getc(in);
      while (c != '\n' && c != '\r' && c != EOF);
    }
    if (turn > int(size) * 2 + 2) std::abort();  // every turn consumes input
  }
  std::fclose(in);
  return 0;
}
