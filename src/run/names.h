// Checks on the names typed at the three name prompts, the same on every
// host, so that a dialogue that works on one host works on the others.
#pragma once

#include <cstddef>

// The characters that Windows does not allow in a file or folder name,
// besides the separators: < > : " | ? * and the control characters 1 to 31.
// A colon would also name a hidden stream of a file on NTFS.
bool has_forbidden_character(const char* name);

// True if the bytes are well-formed UTF-8: no stray continuation byte, no
// sequence cut short, no overlong form, no surrogate, nothing past U+10FFFF.
// Answers piped in to the Windows build are taken as UTF-8 when this holds,
// and in the ANSI code page otherwise.
bool is_valid_utf8(const char* bytes, size_t length);
