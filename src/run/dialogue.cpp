#include "run/dialogue.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "host/host_terminal.h"
#include "points/number_scan.h"
#include "run/console.h"
#include "run/messages.h"

namespace tessera {

namespace {

// A stream as a character source for the number scanner. It keeps the
// start of what it consumed, for a refusal to show.
struct stream_source {
  FILE* in;
  quoted_text shown;
  int c = answer_getc(in);
  int peek() const { return c; }
  void bump() {
    shown.add(c);
    c = answer_getc(in);
  }
  // Puts back the character that ended the answer.
  void done() {
    if (c != EOF) answer_ungetc(c, in);
    shown.add(-1);
  }
};

// Says that standard input ended before an answer was read.
int input_ended() {
  show("%s", failure::input_ended);
  return status_input_ended;
}

void show_prompt(const char* prompt) {
  std::fputs(prompt, stdout);
  std::fflush(stdout);
}

}  // namespace

void show(const char* format, ...) {
  va_list args;
  va_start(args, format);
  show_text(format, args);
  va_end(args);
}

void refuse_answer(const char* why) {
  show("\t%s\n", why);
  // A line ends at LF, at CR LF (whose LF the next answer skips as a blank)
  // or at a lone CR, as a line of a point file does.
  int c;
  do c = answer_getc(stdin);
  while (c != '\n' && c != '\r' && c != EOF);
}

namespace {

// The first byte of the answer text of `in` after blanks, tabs and
// line ends, or EOF.
int first_after_space(FILE* in) {
  int c;
  do c = answer_getc(in);
  while (c != EOF && is_space(c));
  return c;
}

// A UTF-8 byte-order mark, which an editor may put at the start of a file
// of answers: it is no part of the first answer.
constexpr char byte_order_mark[] = "\xEF\xBB\xBF";
constexpr int byte_order_mark_size = 3;
bool first_token = true;

}  // namespace

answer read_token(FILE* in, char (&token)[name_size]) {
  int c = first_after_space(in);
  if (c == EOF) return answer::ended;
  char text[name_size + byte_order_mark_size];
  int len = 0;
  for (; c != EOF && !is_space(c); c = answer_getc(in)) {
    // A 0 byte would end the name there, silently: it is kept as another
    // control character, which the name checks refuse.
    if (len < int(sizeof text)) text[len] = c != 0 ? char(c) : '\x01';
    ++len;
  }
  if (c != EOF) answer_ungetc(c, in);
  int skip = 0;
  if (first_token) {
    first_token = false;
    if (len >= byte_order_mark_size && std::memcmp(text, byte_order_mark, byte_order_mark_size) == 0) {
      skip = byte_order_mark_size;
    }
  }
  len -= skip;
  if (len == 0) return read_token(in, token);  // the mark stood alone
  if (len >= name_size) return answer::refused;
  std::memcpy(token, text + skip, size_t(len));
  token[len] = 0;
  return answer::read;
}

answer read_number(FILE* in, double& value, shown_answer& refused) {
  int c = first_after_space(in);
  if (c == EOF) return answer::ended;
  answer_ungetc(c, in);
  stream_source s{in, quoted_text{refused.text}};
  decimal_number d;
  bool scanned = scan_decimal(s, d);
  bool ok = scanned && decimal_to_double(d, value);
  refused.too_large = scanned && !ok;
  // The number must be the whole token: whatever follows it up to the next
  // blank, tab or line end belongs to this answer and spoils it.
  if (s.peek() != EOF && !is_space(s.peek())) {
    ok = refused.too_large = false;
    while (s.peek() != EOF && !is_space(s.peek())) s.bump();
  }
  s.done();
  return ok ? answer::read : answer::refused;
}

int ask_token(const char* prompt, char (&answer_text)[name_size]) {
  for (;;) {
    show_prompt(prompt);
    char token[name_size];
    answer a = read_token(stdin, token);
    if (a == answer::ended) return input_ended();
    if (a == answer::read) {
      std::strcpy(answer_text, token);
      return status_ok;
    }
    refuse_answer(refusal::name_too_long);
  }
}

int ask_number(const char* prompt, double& value) {
  for (;;) {
    show_prompt(prompt);
    shown_answer refused{};
    answer a = read_number(stdin, value, refused);
    if (a == answer::ended) return input_ended();
    if (a == answer::read) return status_ok;
    // A decimal comma gets its own hint; a number beyond a double says so.
    const char* why = std::strchr(refused.text, ',') != nullptr ? refusal::decimal_comma
                      : refused.too_large                          ? refusal::number_too_large
                                                                   : refusal::not_a_number;
    char text[sizeof refused.text + 64];
    std::snprintf(text, sizeof text, why, refused.text);
    refuse_answer(text);
  }
}

void progress(int64_t record_count) {
  std::printf("\trecord %lld                    \r    ", static_cast<long long>(record_count));
  std::fflush(stdout);
}

void key_wait(const char* shown) {
  std::fflush(stdout);
  wait_for_key(shown);
}

}  // namespace tessera
