#include "run/dialogue.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "points/number_scan.h"
#include "run/platform.h"

namespace {

// Standard input as a character source for the number scanner.
struct stdin_source {
  int c = std::getc(stdin);
  int peek() const { return c; }
  void bump() { c = std::getc(stdin); }
  // Puts back the character that ended the answer.
  void done() {
    if (c != EOF) std::ungetc(c, stdin);
  }
};

[[noreturn]] void input_ended() {
  show("\n\tStandard input ended before an answer was read.\n");
  end_run(status_input_ended);
}

void show_prompt(const char* prompt) {
  std::fputs(prompt, stdout);
  std::fflush(stdout);
}

}  // namespace

void show(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void refuse_answer(const char* why) {
  show("\t%s\n", why);
  int c;
  do c = std::getc(stdin);
  while (c != '\n' && c != EOF);
}

void ask_token(const char* prompt, char (&answer)[name_size]) {
  for (;;) {
    show_prompt(prompt);
    int c;
    do c = std::getc(stdin);
    while (c != EOF && is_space(c));
    if (c == EOF) input_ended();
    char token[name_size];
    int len = 0;
    for (; c != EOF && !is_space(c); c = std::getc(stdin)) {
      if (len < name_size) token[len] = char(c);
      ++len;
    }
    if (c != EOF) std::ungetc(c, stdin);
    if (len < name_size) {
      std::memcpy(answer, token, size_t(len));
      answer[len] = 0;
      return;
    }
    refuse_answer("That name is longer than 63 characters: please type a shorter one.");
  }
}

double ask_number(const char* prompt) {
  for (;;) {
    show_prompt(prompt);
    stdin_source s;
    skip_space(s);
    if (s.peek() == EOF) input_ended();
    decimal_number d;
    double value;
    bool ok = scan_decimal(s, d) && decimal_to_double(d, value);
    s.done();
    if (ok) return value;
    refuse_answer("That answer is not a number: please type a decimal number.");
  }
}

void progress(int64_t ico) {
  std::printf("\trecord %lld                    \r    ", static_cast<long long>(ico));
  std::fflush(stdout);
}

void key_wait() {
  std::fflush(stdout);
  wait_for_key();
}
