#include "run/platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "run/windows_text.h"

void host_path(const char* built, char* out, size_t size) {
  std::strncpy(out, built, size - 1);
  out[size - 1] = 0;
}

namespace {

// Opens a path for its attributes only; INVALID_HANDLE_VALUE if it cannot.
HANDLE open_for_attributes(const char* built) {
  return CreateFileW(to_wide(built).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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

FILE* open_input(const char* host) { return _wfopen(to_wide(host).c_str(), L"rb"); }

FILE* create_file(const char* host) { return _wfopen(to_wide(host).c_str(), L"wb"); }

// True if the built path names a device (NUL, CON, COM1, ...) rather than a
// file: the system's full form of such a path is \\.\ and the device name,
// whatever folder and extension it is written with.
bool names_a_device(const char* built) {
  std::wstring path = to_wide(built);
  wchar_t full[MAX_PATH];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH && std::wcsncmp(full, L"\\\\.\\", 4) == 0;
}
