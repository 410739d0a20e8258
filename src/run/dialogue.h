// The console dialogue: shown texts, answers read from standard input, the
// progress line of a long pass and the key wait.
//
// Every prompt is flushed before its answer is read, so a program driving
// the tool through pipes sees each prompt before it must answer.
#pragma once

#include <cstdint>
#include <cstdio>

#include "points/quoted_text.h"
#include "run/exit_status.h"
#include "run/name_buffers.h"

namespace tessera {

// Shows a formatted text on standard output, exactly as given.
void show(const char* format, ...) __attribute__((format(printf, 1, 2)));

// What reading one answer from a stream gave.
enum class answer { read, refused, ended };

// Reads one token ("%s") from `in` into `token`. A token longer than the
// buffer is consumed and refused.
answer read_token(FILE* in, char (&token)[name_size]);

// The start of a refused answer, as the refusal shows it (see
// points/quoted_text.h).
struct shown_answer {
  char text[quoted_text_size];
  bool too_large;  // a number, but beyond the range of a double
};

// Reads one number from `in`: a whole token (up to the next blank, tab or
// line end) that is entirely a number in the "%lf" syntax. A token that is
// not (`0,5`, `10abc`), or a value too large for a double, is refused, with
// the token consumed and its start in `refused`.
answer read_number(FILE* in, double& value, shown_answer& refused);

// Shows the prompt, then reads one token ("%s": blanks skipped, the token runs
// to the next blank) into `answer`. A token longer than the buffer is refused
// and the prompt asked again. Returns status_ok or, having said so,
// status_input_ended if standard input ends: the caller passes it up, and
// the run ends with it.
int ask_token(const char* prompt, char (&answer)[name_size]);

// Shows the prompt, then reads one number into `value`. An answer that is
// not wholly a number (or too large for a double) is refused at its own
// prompt, with a hint when it holds a decimal comma; the rest of its line is
// discarded and the prompt asked again. Returns status_ok or, having said
// so, status_input_ended if standard input ends.
int ask_number(const char* prompt, double& value);

// Says the answer just read cannot be used, then discards the rest of the
// answer's input line (up to LF or CR), so the prompt asked again starts
// afresh.
void refuse_answer(const char* why);

// Shows the progress line of a pass.
void progress(int64_t record_count);

// Waits for one key at the terminal (not standard input); see host_terminal.h.
// `shown` is the text just shown that says why: it is shown at the terminal
// too when standard output goes elsewhere.
void key_wait(const char* shown);

}  // namespace tessera
