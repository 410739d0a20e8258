// A helper for the Windows tests, built with the same toolchain and run
// under Wine beside the tool:
//   hold PATH   opens the existing file as a viewer or an editor does, for
//               reading and without sharing its deletion, says "held", and
//               keeps it open until a line (or the end) arrives on standard
//               input;
//   short PATH  prints the short (8.3) form of the path, as the system
//               makes it.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  wchar_t path[MAX_PATH];
  if (MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, path, MAX_PATH) == 0) return 2;
  if (std::strcmp(argv[1], "hold") == 0) {
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    std::puts("held");
    std::fflush(stdout);
    char line[16];
    if (std::fgets(line, sizeof line, stdin) == nullptr) line[0] = 0;
    CloseHandle(h);
    return 0;
  }
  if (std::strcmp(argv[1], "short") == 0) {
    wchar_t short_path[MAX_PATH];
    DWORD n = GetShortPathNameW(path, short_path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    char utf8[4 * MAX_PATH];
    if (WideCharToMultiByte(CP_UTF8, 0, short_path, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) return 1;
    std::puts(utf8);
    return 0;
  }
  return 2;
}
