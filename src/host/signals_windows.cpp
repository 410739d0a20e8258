// The end of a run by a console event on Windows (Ctrl-C, Ctrl-Break, the
// console closed): the handler, on a thread of its own, removes the files the
// run recorded (guarded_files.h) and says the earlier files are unchanged;
// the default handler then ends the process.
#include "host/host_signals.h"

#include <windows.h>

#include <string>

#include "host/guarded_files.h"
#include "host/windows_text.h"

namespace tessera {

namespace {

// The files recorded for removal, as wide names.
std::wstring guarded[guarded_files_room];
volatile LONG guarded_count = 0;
std::string guard_message;

// What the run is doing, for the console control handler, which runs on a
// thread of its own: running, ending by itself (settle_files), or ending
// by a console event.
constexpr LONG running = 0;
constexpr LONG settling = 1;
constexpr LONG interrupted = 2;
volatile LONG phase = running;

BOOL WINAPI end_by_console_event(DWORD) {
  if (InterlockedCompareExchange(&phase, interrupted, running) != running) {
    // The run is settling its files and ends by itself.
    Sleep(INFINITE);
  }
  // The temporary files are open with FILE_SHARE_DELETE: they go when the
  // process ends and closes them.
  for (LONG i = 0; i < guarded_count; ++i) DeleteFileW(guarded[i].c_str());
  write_unbuffered(guard_message.c_str());
  // Not handled: the default handler ends the process.
  return FALSE;
}

}  // namespace

// A file is deleted by its name: its identity is not needed.
bool guard_add(const char* host, const file_stamp&) {
  if (guarded_count >= guarded_files_room) return false;
  guarded[guarded_count] = to_wide(host);
  InterlockedIncrement(&guarded_count);
  return true;
}

void signals_start() {}

void guard_start(const char* message) {
  guard_message = message;
  SetConsoleCtrlHandler(end_by_console_event, TRUE);
}

void settle_files() {
  if (InterlockedCompareExchange(&phase, settling, running) == interrupted) {
    // A console event is removing the files and ends the process.
    Sleep(INFINITE);
  }
}

}  // namespace tessera
