// Text conversions of the Windows build. Names travel inside the program as
// UTF-8 bytes; the Windows file and console calls take UTF-16.
#pragma once

#ifdef _WIN32
#include <string>

// UTF-8 (the built paths, the answers) to UTF-16 for the wide-character
// calls. Bytes that are not valid UTF-8 become U+FFFD.
std::wstring to_wide(const char* utf8);

// UTF-16 back to UTF-8.
std::string to_utf8(const wchar_t* wide, int length);
#endif
