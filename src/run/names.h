// Checks on the names typed at the three name prompts, the same on every
// host, so that a dialogue that works on one host works on the others.
#pragma once

#include <cstddef>

namespace tessera {

// The characters that Windows does not allow in a file or folder name,
// besides the separators: < > : " | ? * and the control characters 1 to 31.
// A colon would also name a hidden stream of a file on NTFS.
bool has_forbidden_character(const char* name);

// A folder answer pasted as a full path (as copied from Explorer's address
// bar): a drive letter, a colon and a backslash, with or without a quote
// before them, such as C:\images\site1 or "C:\images\site1". If the path
// lies under the root C:\images (any case), `under_root` gets what follows
// the root, the folder's name as it would be typed (site1), or "" when that
// name is empty or could not be typed either (a forbidden character, or a
// quoted path cut at a blank: "C:\images\my). `under_root` has room for
// `size` bytes.
bool is_pasted_path(const char* answer, char* under_root, size_t size);

// True if the bytes are well-formed UTF-8: no stray continuation byte, no
// sequence cut short, no overlong form, no surrogate, nothing past U+10FFFF.
// Answers piped in to the Windows build are taken as UTF-8 when this holds,
// and in the ANSI code page otherwise.
bool is_valid_utf8(const char* bytes, size_t length);

}  // namespace tessera
