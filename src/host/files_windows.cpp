// The files on Windows: built paths as they stand, the lock, the temporary
// files, the replace and the stamps, through the wide-character calls, with
// the system's errors told as the errno values of host_reasons.h.
// rand_s, from the C runtime's stdlib.h.
#define _CRT_RAND_S
#include "host/host_files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "host/guarded_files.h"
#include "host/windows_text.h"

namespace tessera {

namespace {

// Opens a path for its attributes only; INVALID_HANDLE_VALUE if it cannot.
HANDLE open_for_attributes(const char* host) {
  return CreateFileW(to_wide(host).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The errno value closest to a Windows error, for the messages: one
// mapping, so that a failure is told in the same words as on POSIX hosts.
int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return in_use_by_another_program;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    default:
      return EACCES;
  }
}

bool is_folder(const char* host) {
  DWORD attributes = GetFileAttributesW(to_wide(host).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The errno of a Windows error met at `host`: Windows refuses to open or
// replace a folder as a file with "access denied", which is said as POSIX
// hosts say it, "Is a directory".
int errno_at(const char* host, DWORD error) {
  return error == ERROR_ACCESS_DENIED && is_folder(host) ? EISDIR : errno_of(error);
}

// True if another program holds the existing file at `host` open without
// letting it be deleted (FILE_SHARE_DELETE), so that it cannot be replaced.
bool held_open_elsewhere(const char* host) {
  HANDLE h = CreateFileW(to_wide(host).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool stamp_of_handle(HANDLE h, file_stamp& s) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return false;
  s.device = info.dwVolumeSerialNumber;
  s.index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  s.size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  s.modified = int64_t((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
  // The change time, where the file system keeps one.
  FILE_BASIC_INFO basic;
  s.changed = GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ? basic.ChangeTime.QuadPart : 0;
  return true;
}

HANDLE lock_handle = INVALID_HANDLE_VALUE;
std::wstring lock_name;

// The folder of the written files, ending in its separator. Windows does
// not let a folder be renamed while a file in it is open, so its path
// serves.
std::wstring folder_held;

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

void host_path(const char* built, char* out, size_t size) {
  std::strncpy(out, built, size - 1);
  out[size - 1] = 0;
}

bool is_regular_file(const char* host) {
  HANDLE h = open_for_attributes(host);
  if (h == INVALID_HANDLE_VALUE) return false;
  // A disk file that is not a folder: devices (NUL, CON, COM1) and pipes are
  // not point files.
  BY_HANDLE_FILE_INFORMATION info;
  bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                 (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(h);
  return regular;
}

bool same_file(const char* host_a, const char* host_b) {
  file_stamp a;
  file_stamp b;
  return stamp_of_path(host_a, a) && stamp_of_path(host_b, b) && a.device == b.device && a.index == b.index;
}

FILE* open_input(const char* host) { return _wfopen(to_wide(host).c_str(), L"rb"); }

FILE* duplicate_stream(FILE* f) {
  int fd = _dup(_fileno(f));
  if (fd < 0) return nullptr;
  FILE* copy = _fdopen(fd, "rb");
  if (copy == nullptr) _close(fd);
  return copy;
}

bool stamp_of_stream(FILE* f, file_stamp& s) {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  return h != INVALID_HANDLE_VALUE && stamp_of_handle(h, s);
}

bool stamp_of_path(const char* host, file_stamp& s) {
  HANDLE h = open_for_attributes(host);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool got = stamp_of_handle(h, s);
  CloseHandle(h);
  return got;
}

unsigned long process_id() { return GetCurrentProcessId(); }

uint32_t random_tag() {
  unsigned int tag = 0;
  if (rand_s(&tag) != 0) tag = GetTickCount();
  return tag;
}

int hold_folder(const char* host) {
  std::wstring path = to_wide(host);
  size_t separator = path.find_last_of(L"\\/");
  folder_held = separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
  return 0;
}

bool folder_in_place() { return true; }

int final_path_refused(const char* host) {
  DWORD attributes = GetFileAttributesW(to_wide(host).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? 0 : errno_of(error);
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return 0;  // a link: the link is replaced
  // MoveFileExW cannot replace a folder, a read-only file, or a file that
  // another program (a viewer, an editor) holds open without sharing its
  // deletion.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
  if (attributes & FILE_ATTRIBUTE_READONLY) return EACCES;
  if (held_open_elsewhere(host)) return in_use_by_another_program;
  return 0;
}

int lock_output(const char* host, bool& lock_file_there) {
  lock_name = to_wide(host);
  lock_file_there = true;
  // The holder removes the lock file before it releases the lock, so a run
  // that locked a file since removed must lock the new one. A few rounds are
  // enough: each one means another run has just ended.
  constexpr int lock_rounds = 8;
  // A lock file being removed by the run that just ended refuses new
  // handles until it is gone, which a wait this long between rounds lets
  // happen.
  constexpr DWORD removal_wait_ms = 10;
  for (int round = 0; round < lock_rounds; ++round) {
    HANDLE h = CreateFileW(lock_name.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      if (error == ERROR_ACCESS_DENIED && round + 1 < lock_rounds && !is_folder(host)) {
        Sleep(removal_wait_ms);
        continue;
      }
      lock_file_there = exists(lock_name);
      return errno_at(host, error);
    }
    OVERLAPPED at_start{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at_start)) {
      DWORD error = GetLastError();
      CloseHandle(h);
      return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? held_by_another_run : errno_of(error);
    }
    BY_HANDLE_FILE_INFORMATION held;
    file_stamp now;
    if (GetFileInformationByHandle(h, &held) && stamp_of_path(host, now) &&
        now.device == held.dwVolumeSerialNumber &&
        now.index == ((uint64_t(held.nFileIndexHigh) << 32) | held.nFileIndexLow)) {
      if (!guard_add(host, now)) {
        // As unlock_output does: the lock file goes before the lock.
        DeleteFileW(lock_name.c_str());
        CloseHandle(h);
        return no_room_to_guard;
      }
      lock_handle = h;
      return 0;
    }
    CloseHandle(h);
  }
  return held_by_another_run;
}

void unlock_output() {
  if (lock_handle == INVALID_HANDLE_VALUE) return;
  DeleteFileW(lock_name.c_str());
  CloseHandle(lock_handle);
  lock_handle = INVALID_HANDLE_VALUE;
}

int create_temporary(const char* host, FILE*& f, file_stamp& made) {
  // FILE_SHARE_DELETE lets a console event remove it while it is open.
  HANDLE h = CreateFileW(to_wide(host).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return errno_of(GetLastError());
  stamp_of_handle(h, made);
  if (!guard_add(host, made)) {
    CloseHandle(h);
    DeleteFileW(to_wide(host).c_str());
    return no_room_to_guard;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    DeleteFileW(to_wide(host).c_str());
    return EMFILE;
  }
  f = _fdopen(fd, "wb");
  if (f == nullptr) {
    _close(fd);
    DeleteFileW(to_wide(host).c_str());
    return EMFILE;
  }
  return 0;
}

// A new file takes the folder's inherited permissions, as the earlier file
// did: there is nothing to give it.
int take_attributes(FILE*, const char*) { return 0; }

// Windows has no request to drop a file's cached contents; its cache
// manager lets the earlier output's pages go as the new ones come.
void forget_cached(const char*) {}

int replace_file(const char* from, const char* to) {
  if (MoveFileExW(to_wide(from).c_str(), to_wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
  DWORD error = GetLastError();
  // A file opened since the opening by a program that does not share its
  // deletion makes the rename fail with "access denied".
  if (error == ERROR_ACCESS_DENIED && held_open_elsewhere(to)) return in_use_by_another_program;
  return errno_at(to, error);
}

int write_failure(const char* host, int err) {
  // The largest write of a run is one output block of 1 MiB; a volume with
  // less room than that after a failed write is full.
  constexpr uint64_t largest_write = 1 << 20;
  std::wstring folder = to_wide(host);
  size_t slash = folder.find_last_of(L"\\/");
  folder.resize(slash == std::wstring::npos ? 0 : slash + 1);
  ULARGE_INTEGER available;
  if (!folder.empty() && GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) &&
      available.QuadPart < largest_write) {
    return ENOSPC;
  }
  return err;
}

bool holds_file(const char* host, const file_stamp& made) {
  // The name itself: a link there is opened as the link.
  HANDLE h = CreateFileW(to_wide(host).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  file_stamp now;
  bool same = stamp_of_handle(h, now) && now.device == made.device && now.index == made.index;
  CloseHandle(h);
  return same;
}

void remove_file(const char* host, const file_stamp& made) {
  if (holds_file(host, made)) DeleteFileW(to_wide(host).c_str());
}

int remove_left_files(bool (*left_by_killed_run)(const char* name, const void* context), const void* context) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder_held + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        left_by_killed_run(to_utf8(found.cFileName, int(std::wcslen(found.cFileName))).c_str(), context) &&
        DeleteFileW((folder_held + found.cFileName).c_str())) {
      ++removed;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return removed;
}

// True if the path names a device (NUL, CON, COM1, ...) rather than a file:
// the system's full form of such a path is \\.\ and the device name,
// whatever folder and extension it is written with.
bool names_a_device(const char* host) {
  std::wstring path = to_wide(host);
  wchar_t full[MAX_PATH];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH && std::wcsncmp(full, L"\\\\.\\", 4) == 0;
}

bool full_name_of(const char* host, char (&name)[file_name_size]) {
  std::wstring typed = to_wide(host);
  // A path of up to 127 UTF-8 bytes has a long form of at most 255 units
  // per part; MAX_PATH units hold it unless the folder's own parts are long.
  wchar_t full[4 * MAX_PATH];
  DWORD n = GetLongPathNameW(typed.c_str(), full, DWORD(sizeof full / sizeof full[0]));
  if (n == 0 || n >= sizeof full / sizeof full[0]) return false;
  auto last_part = [](const wchar_t* path) {
    const wchar_t* last = path;
    for (const wchar_t* c = path; *c != 0; ++c) {
      if (*c == L'\\' || *c == L'/') last = c + 1;
    }
    return last;
  };
  const wchar_t* own = last_part(full);
  if (CompareStringOrdinal(own, -1, last_part(typed.c_str()), -1, TRUE) == CSTR_EQUAL) return false;
  std::string utf8 = to_utf8(own, int(std::wcslen(own)));
  if (utf8.size() >= sizeof name) return false;
  std::memcpy(name, utf8.c_str(), utf8.size() + 1);
  return true;
}

}  // namespace tessera
