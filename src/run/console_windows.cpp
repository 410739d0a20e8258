// The Windows console: standard output fully buffered, answers read as UTF-8
// from a console (ReadConsoleW) or from a pipe or file (UTF-16 with its
// byte-order mark converted; other bytes taken as UTF-8 when they are valid
// UTF-8, else in the ANSI code page), texts with names in them shown
// with WriteConsoleW on standard output and standard error alike, and the
// key wait. Both streams are in binary mode: a line feed stays one byte.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "run/console.h"
#include "run/names.h"
#include "run/piped_answers.h"
#include "host/host_terminal.h"
#include "host/windows_text.h"

namespace tessera {

namespace {

// Standard output's buffer. Text is written to the console when a prompt
// waits for its answer, at each progress line, before the key wait and at
// the end; in between it collects here, so that the console is not written
// one character at a time. The longest text shown between two of those
// points (the banner and the first prompt) is under 2 KiB.
constexpr size_t output_buffer_size = 16384;
char output_buffer[output_buffer_size];

// Answers are converted a piece at a time: one line, or this many UTF-16
// units typed at the console or bytes piped in, cut after a blank when a
// line is longer (no name is longer than 63 bytes).
constexpr size_t piece_size = 1024;
// A UTF-16 unit, or an input byte in any code page, makes at most 3 bytes
// of UTF-8 (a surrogate pair, 2 units, makes 4).
constexpr size_t utf8_per_unit = 3;
// The console's end-of-input key, Ctrl-Z, as typed at the start of a line.
constexpr wchar_t console_end_of_input = 0x1A;

bool stdout_is_console = false;
bool stderr_is_console = false;

// Where the answers come from, found at the first answer.
enum class source { unknown, console, stream };
source answers_from = source::unknown;
HANDLE console_in = INVALID_HANDLE_VALUE;

// The current piece of answer text as UTF-8, and how much of it is taken.
char text[piece_size * utf8_per_unit];
size_t text_at = 0;
size_t text_filled = 0;
bool input_ended = false;

// Piped bytes read beyond the last piece (the rest of a long line), and a
// lone high surrogate that ended a console piece.
char carried[piece_size];
size_t carried_length = 0;
wchar_t carried_surrogate = 0;

bool is_console(HANDLE h) {
  DWORD mode;
  return GetConsoleMode(h, &mode) != 0;
}

// Reads the next console line (or the next piece of a long one) as UTF-8.
void read_console_piece() {
  wchar_t wide[piece_size];
  DWORD start = 0;
  if (carried_surrogate != 0) wide[start++] = carried_surrogate;
  carried_surrogate = 0;
  DWORD got = 0;
  if (!ReadConsoleW(console_in, wide + start, DWORD(piece_size) - start, &got, nullptr) || got == 0) {
    input_ended = true;
    return;
  }
  DWORD n = start + got;
  // Ctrl-Z ends the input, as it does for a console read as a stream.
  for (DWORD i = 0; i < n; ++i) {
    if (wide[i] == console_end_of_input) {
      n = i;
      input_ended = true;
      break;
    }
  }
  if (!input_ended && n == piece_size && IS_HIGH_SURROGATE(wide[n - 1])) carried_surrogate = wide[--n];
  int bytes = n == 0 ? 0 : WideCharToMultiByte(CP_UTF8, 0, wide, int(n), text, int(sizeof text), nullptr, nullptr);
  text_filled = size_t(bytes > 0 ? bytes : 0);
}

// The next byte of the piped answers. Standard input is read in binary mode
// (set at the first answer), so that UTF-16 text reaches piped_answers.h
// whole; for other text, the byte 0x1A (Ctrl-Z) ends the answers there, as
// a text-mode standard input ends them on Windows.
piped_answers standard_input;
constexpr int text_mode_end = 0x1A;
bool text_mode_ended = false;

int next_piped_byte() {
  if (text_mode_ended) return EOF;
  int c = piped_getc(standard_input);
  if (c == text_mode_end && !piped_is_utf16(standard_input)) {
    text_mode_ended = true;
    return EOF;
  }
  return c;
}

// Reads the next piped line (or the next piece of a long one) as UTF-8. A
// line ends at LF or CR.
void read_stream_piece() {
  size_t length = carried_length;
  bool line_ended = false;
  while (length < piece_size) {
    int c = next_piped_byte();
    if (c == EOF) break;
    carried[length++] = char(c);
    if (c == '\n' || c == '\r') {
      line_ended = true;
      break;
    }
  }
  if (length == 0) {
    input_ended = true;
    return;
  }
  // A piece cut from a longer line ends after its last blank, so that no
  // name and no character is split between two pieces.
  size_t take = length;
  if (!line_ended && length == piece_size) {
    for (size_t k = length; k > 0; --k) {
      if (carried[k - 1] == ' ' || carried[k - 1] == '\t') {
        take = k;
        break;
      }
    }
  }
  text_filled = piped_text_to_utf8(carried, take, text);
  carried_length = length - take;
  std::memmove(carried, carried + take, carried_length);
}

bool next_piece() {
  if (answers_from == source::unknown) {
    console_in = GetStdHandle(STD_INPUT_HANDLE);
    answers_from = is_console(console_in) ? source::console : source::stream;
    if (answers_from == source::stream) {
      _setmode(_fileno(stdin), _O_BINARY);
      standard_input.in = stdin;
    }
  }
  text_at = 0;
  text_filled = 0;
  while (text_filled == 0 && !input_ended) {
    if (answers_from == source::console) {
      read_console_piece();
    } else {
      read_stream_piece();
    }
  }
  return text_filled > 0;
}

bool has_non_ascii(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(s[i]) >= 0x80) return true;
  }
  return false;
}

// Writes UTF-8 text to a console handle as the characters it spells.
void write_console(HANDLE console, const char* utf8) {
  std::wstring wide = to_wide(utf8);
  DWORD written = 0;
  WriteConsoleW(console, wide.data(), DWORD(wide.size()), &written, nullptr);
}

}  // namespace

void console_start() {
  // "\n" stays one byte, as on POSIX hosts; the console takes it as a new
  // line all the same.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
  stdout_is_console = is_console(GetStdHandle(STD_OUTPUT_HANDLE));
  stderr_is_console = is_console(GetStdHandle(STD_ERROR_HANDLE));
}

size_t piped_text_to_utf8(const char* bytes, size_t length, char* out) {
  if (is_valid_utf8(bytes, length)) {
    std::memcpy(out, bytes, length);
    return length;
  }
  // An ANSI code page gives at most one UTF-16 unit a byte.
  wchar_t wide[piece_size];
  int units = MultiByteToWideChar(CP_ACP, 0, bytes, int(length), wide, int(piece_size));
  if (units <= 0) return 0;
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, units, out, int(length * utf8_per_unit), nullptr, nullptr);
  return size_t(n > 0 ? n : 0);
}

void write_unbuffered(const char* utf8) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  size_t length = std::strlen(utf8);
  if (stdout_is_console && has_non_ascii(utf8, length)) {
    write_console(out, utf8);
  } else {
    DWORD written = 0;
    WriteFile(out, utf8, DWORD(length), &written, nullptr);
  }
}

int answer_getc(FILE* in) {
  if (in != stdin) return std::getc(in);
  if (text_at == text_filled && !next_piece()) return EOF;
  return static_cast<unsigned char>(text[text_at++]);
}

void answer_ungetc(int c, FILE* in) {
  if (in != stdin) {
    std::ungetc(c, in);
  } else if (c != EOF && text_at > 0) {
    --text_at;
  }
}

void show_text(const char* format, va_list args) {
  char line[1024];
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(line, sizeof line, format, args);
  if (n >= 0 && size_t(n) < sizeof line) {
    // Names are UTF-8: on a console, a text holding one that is not ASCII is
    // written as the characters it spells; elsewhere the bytes stand.
    if (stdout_is_console && has_non_ascii(line, size_t(n))) {
      std::fflush(stdout);
      write_console(GetStdHandle(STD_OUTPUT_HANDLE), line);
    } else {
      std::fwrite(line, 1, size_t(n), stdout);
    }
  } else if (n >= 0) {
    std::vprintf(format, again);  // no text this long holds a name
  }
  va_end(again);
}

void show_error_text(const char* text) {
  std::fflush(stdout);
  // As show_text: a name that is not ASCII is written to a console as the
  // characters it spells; a pipe or a file gets the UTF-8 bytes.
  if (stderr_is_console && has_non_ascii(text, std::strlen(text))) {
    write_console(GetStdHandle(STD_ERROR_HANDLE), text);
  } else {
    std::fputs(text, stderr);
  }
}

namespace {

// The console input the key wait reads, while it waits.
HANDLE key_wait_input = INVALID_HANDLE_VALUE;

// Ctrl-C and Ctrl-Break during the key wait are keys like any other. A
// console that sends them as events even with processed input off (Wine's
// does) would end the program as an interruption: the event is taken here
// and put in the console input as a key press, which ends the wait.
BOOL WINAPI break_is_a_key(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  INPUT_RECORD key{};
  key.EventType = KEY_EVENT;
  key.Event.KeyEvent.bKeyDown = TRUE;
  key.Event.KeyEvent.wRepeatCount = 1;
  key.Event.KeyEvent.wVirtualKeyCode = event == CTRL_C_EVENT ? 'C' : VK_CANCEL;
  DWORD written = 0;
  return WriteConsoleInputW(key_wait_input, &key, 1, &written) && written == 1;
}

}  // namespace

void wait_for_key(const char* shown) {
  // The console itself, whatever standard input is.
  HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return;  // no console: nobody to press a key
  DWORD saved;
  if (!GetConsoleMode(in, &saved)) {
    CloseHandle(in);
    return;
  }
  // With standard output sent elsewhere, the one waiting at the console
  // would not know why: say it there too.
  if (!stdout_is_console) {
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      write_console(out, shown);
      CloseHandle(out);
    }
  }
  // No line input, no echo, and Ctrl-C delivered as a key like any other.
  SetConsoleMode(in, 0);
  key_wait_input = in;
  SetConsoleCtrlHandler(break_is_a_key, TRUE);
  for (;;) {
    INPUT_RECORD event;
    DWORD n = 0;
    if (!ReadConsoleInputW(in, &event, 1, &n) || n == 0) break;
    if (event.EventType != KEY_EVENT || !event.Event.KeyEvent.bKeyDown) continue;
    WORD key = event.Event.KeyEvent.wVirtualKeyCode;
    // Shift, Ctrl, Alt and the lock and Windows keys alone do not end it.
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL || key == VK_NUMLOCK ||
        key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN) {
      continue;
    }
    break;
  }
  SetConsoleCtrlHandler(break_is_a_key, FALSE);
  key_wait_input = INVALID_HANDLE_VALUE;
  SetConsoleMode(in, saved);
  CloseHandle(in);
}

}  // namespace tessera
