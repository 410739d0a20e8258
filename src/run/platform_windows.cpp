#include "run/platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

void console_start() {
  // "\n" stays one byte, as on POSIX hosts; the console takes it as a new
  // line all the same.
  _setmode(_fileno(stdout), _O_BINARY);
}

void host_path(const char* built, char* out, size_t size) {
  std::strncpy(out, built, size - 1);
  out[size - 1] = 0;
}

namespace {

// Opens a path for its attributes only; INVALID_HANDLE_VALUE if it cannot.
HANDLE open_for_attributes(const char* built) {
  return CreateFileA(built, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

bool is_regular_file(const char* built) {
  HANDLE h = open_for_attributes(built);
  if (h == INVALID_HANDLE_VALUE) return false;
  // A disk file that is not a folder: devices (NUL, CON, COM1) and pipes are
  // not point files.
  BY_HANDLE_FILE_INFORMATION info;
  bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                 (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(h);
  return regular;
}

bool same_file(const char* built_a, const char* built_b) {
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  HANDLE ha = open_for_attributes(built_a);
  if (ha == INVALID_HANDLE_VALUE) return false;
  bool got_a = GetFileInformationByHandle(ha, &a);
  CloseHandle(ha);
  HANDLE hb = open_for_attributes(built_b);
  if (hb == INVALID_HANDLE_VALUE) return false;
  bool got_b = GetFileInformationByHandle(hb, &b);
  CloseHandle(hb);
  return got_a && got_b && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

void wait_for_key() {
  // The console itself, whatever standard input is.
  HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return;  // no console: nobody to press a key
  DWORD saved;
  if (!GetConsoleMode(in, &saved)) {
    CloseHandle(in);
    return;
  }
  // No line input, no echo, and Ctrl-C delivered as a key like any other.
  SetConsoleMode(in, 0);
  for (;;) {
    INPUT_RECORD event;
    DWORD n = 0;
    if (!ReadConsoleInputA(in, &event, 1, &n) || n == 0) break;
    if (event.EventType != KEY_EVENT || !event.Event.KeyEvent.bKeyDown) continue;
    WORD key = event.Event.KeyEvent.wVirtualKeyCode;
    // Shift, Ctrl, Alt and the lock and Windows keys alone do not end it.
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL || key == VK_NUMLOCK ||
        key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN) {
      continue;
    }
    break;
  }
  SetConsoleMode(in, saved);
  CloseHandle(in);
}
