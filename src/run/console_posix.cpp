// The POSIX console: answers are the bytes of standard input, read through
// piped_answers.h so that a file of answers in UTF-16 reads as its text.
#include <cstdarg>
#include <cstdio>

#include "run/console.h"
#include "run/piped_answers.h"

namespace tessera {

namespace {

piped_answers standard_input;

}  // namespace

int answer_getc(FILE* in) {
  if (in != stdin) return std::getc(in);
  standard_input.in = stdin;
  return piped_getc(standard_input);
}

void show_text(const char* format, va_list args) { std::vprintf(format, args); }

void show_error_text(const char* text) {
  std::fflush(stdout);
  std::fputs(text, stderr);
}

void answer_ungetc(int c, FILE* in) {
  if (in != stdin) {
    std::ungetc(c, in);
  } else if (c != EOF) {
    piped_unget(standard_input, c);
  }
}

}  // namespace tessera
