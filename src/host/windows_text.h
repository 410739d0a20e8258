// Text conversions of the Windows build. Names travel inside the program as
// UTF-8 bytes; the Windows file and console calls take UTF-16.
// Only the Windows build compiles the files that include it.
#pragma once

#include <cstddef>
#include <string>

namespace tessera {

// UTF-8 (the built paths, the answers) to UTF-16 for the wide-character
// calls. Bytes that are not valid UTF-8 become U+FFFD.
std::wstring to_wide(const char* utf8);

// UTF-16 back to UTF-8.
std::string to_utf8(const wchar_t* wide, int length);

// Writes UTF-8 text straight to standard output, past its buffer: as the
// characters it spells on a console, as its bytes elsewhere. For the console
// control handler, which runs on a thread of its own.
void write_unbuffered(const char* utf8);

// One piece of piped answer text as UTF-8: the bytes themselves when they
// are valid UTF-8, else the bytes read in the ANSI code page and converted.
// `out` has room for 3 bytes per input byte; returns the bytes written.
size_t piped_text_to_utf8(const char* bytes, size_t length, char* out);

}  // namespace tessera
