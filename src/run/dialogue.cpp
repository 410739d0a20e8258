#include "run/dialogue.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "points/number_scan.h"
#include "run/platform.h"

namespace {

// A stream as a character source for the number scanner.
struct stream_source {
  FILE* in;
  int c = std::getc(in);
  int peek() const { return c; }
  void bump() { c = std::getc(in); }
  // Puts back the character that ended the answer.
  void done() {
    if (c != EOF) std::ungetc(c, in);
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

answer read_token(FILE* in, char (&token)[name_size]) {
  int c;
  do c = std::getc(in);
  while (c != EOF && is_space(c));
  if (c == EOF) return answer::ended;
  int len = 0;
  for (; c != EOF && !is_space(c); c = std::getc(in)) {
    if (len < name_size) token[len] = char(c);
    ++len;
  }
  if (c != EOF) std::ungetc(c, in);
  if (len >= name_size) return answer::refused;
  token[len] = 0;
  return answer::read;
}

answer read_number(FILE* in, double& value) {
  stream_source s{in};
  skip_space(s);
  if (s.peek() == EOF) return answer::ended;
  decimal_number d;
  bool ok = scan_decimal(s, d) && decimal_to_double(d, value);
  s.done();
  return ok ? answer::read : answer::refused;
}

void ask_token(const char* prompt, char (&answer_text)[name_size]) {
  for (;;) {
    show_prompt(prompt);
    char token[name_size];
    answer a = read_token(stdin, token);
    if (a == answer::ended) input_ended();
    if (a == answer::read) {
      std::strcpy(answer_text, token);
      return;
    }
    refuse_answer("That name is longer than 63 characters: please type a shorter one.");
  }
}

double ask_number(const char* prompt) {
  for (;;) {
    show_prompt(prompt);
    double value = 0;
    answer a = read_number(stdin, value);
    if (a == answer::ended) input_ended();
    if (a == answer::read) return value;
    refuse_answer("That answer is not a number: please type a decimal number.");
  }
}

void progress(int64_t ico) {
  std::printf("\trecord %lld                    \r    ", static_cast<long long>(ico));
  std::fflush(stdout);
}

void key_wait(const char* shown) {
  std::fflush(stdout);
  wait_for_key(shown);
}
