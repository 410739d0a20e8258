// The console as the dialogue meets it: where the bytes of the answers come
// from, and where shown text goes, on standard output and standard error.
//
// On POSIX hosts that is standard input and standard output as they stand:
// names are the bytes typed. The Windows build (console_windows.cpp) reads a
// console with the wide-character calls and hands every answer over as
// UTF-8, and shows texts holding other than ASCII with the wide-character
// calls, so that a name typed with accents reaches the file system and the
// screen as typed. On every host, answers piped in UTF-16 with a byte-order
// mark are read as the text they hold (piped_answers.h).
#pragma once

#include <cstdarg>
#include <cstdio>

namespace tessera {

// The next byte of an answer read from `in`, or EOF. From standard input the
// bytes are UTF-8 whatever the console or the pipe delivers (UTF-16 with its
// mark is read as text); any other stream is read as it stands.
int answer_getc(FILE* in);

// Puts back the byte that answer_getc just gave.
void answer_ungetc(int c, FILE* in);

// Shows a formatted text on standard output.
void show_text(const char* format, va_list args);

// Writes a text (UTF-8) to standard error, after what standard output holds
// so far, so that on one terminal it comes after the dialogue. On POSIX
// hosts the bytes stand; the Windows build writes them as they are to a
// pipe or a file, and as the characters they spell to a console.
void show_error_text(const char* text);

}  // namespace tessera
