// The end of a run by a signal on POSIX hosts: the handler removes the files
// the run recorded (guarded_files.h), says the earlier files are unchanged,
// and ends the program as the signal would.
#include "host/host_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "host/guarded_files.h"
#include "host/posix_shared.h"

namespace tessera {

namespace posix_host {

namespace {

// A shell shows a program ended by signal n with the status 128 + n.
constexpr int signal_status_base = 128;

sigset_t end_signal_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : end_signals) sigaddset(&set, sig);
  return set;
}

}  // namespace

sigset_t hold_end_signals() {
  sigset_t set = end_signal_set();
  sigset_t old;
  sigprocmask(SIG_BLOCK, &set, &old);
  return old;
}

void release_end_signals(const sigset_t& old) { sigprocmask(SIG_SETMASK, &old, nullptr); }

void raise_by_default(int sig) {
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  sigemptyset(&by_default.sa_mask);
  sigaction(sig, &by_default, nullptr);
  raise(sig);
  sigset_t just_this;
  sigemptyset(&just_this);
  sigaddset(&just_this, sig);
  sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
}

// Process 1 of a PID namespace (a container's first process) is never sent
// a signal whose action is the default one: there the signal comes to
// nothing, and the program ends with the status a shell shows for it.
void end_as_signal(int sig) {
  raise_by_default(sig);  // the program ends here, if the signal was sent
  _exit(signal_status_base + sig);
}

}  // namespace posix_host

using namespace posix_host;

namespace {

// The files recorded for removal: their names in the folder held, and their
// identities, so that a name taken since by another file is left alone.
struct guarded_file {
  char name[host_path_size];
  int dir;
  file_stamp made;
};
guarded_file guarded[guarded_files_room];
volatile sig_atomic_t guarded_count = 0;
// Room for the two "is unchanged" lines.
char guard_message[2 * host_path_size + 64];
volatile sig_atomic_t guard_message_size = 0;

// Only async-signal-safe calls: fstatat, unlinkat, write, and those of
// end_as_signal. The temporary files go first and the lock file last, so
// that no run can take the lock while this run's files are still there.
extern "C" void end_by_signal(int sig) {
  for (int i = guarded_count - 1; i >= 0; --i) {
    if (holds_at(guarded[i].dir, guarded[i].name, guarded[i].made)) unlinkat(guarded[i].dir, guarded[i].name, 0);
  }
  // After SIGPIPE standard output is most likely the pipe that broke: the
  // message is not tried there, so that no second SIGPIPE is asked for.
  if (sig != SIGPIPE) {
    ssize_t ignored = write(STDOUT_FILENO, guard_message, size_t(guard_message_size));
    (void)ignored;
  }
  end_as_signal(sig);
}

}  // namespace

bool guard_add(const char* host, const file_stamp& made) {
  if (guarded_count >= guarded_files_room) return false;
  guarded_file& g = guarded[guarded_count];
  std::strcpy(g.name, held_name(host, g.dir));
  g.made.device = made.device;
  g.made.index = made.index;
  guarded_count = guarded_count + 1;
  return true;
}

void signals_start() {
  struct sigaction on_end {};
  on_end.sa_handler = end_by_signal;
  on_end.sa_mask = end_signal_set();  // a second signal waits for the first to finish
  for (int sig : end_signals) {
    struct sigaction before;
    sigaction(sig, nullptr, &before);
    if (before.sa_handler != SIG_IGN) sigaction(sig, &on_end, nullptr);
  }
}

void guard_start(const char* message) {
  sigset_t old = hold_end_signals();
  std::strncpy(guard_message, message, sizeof guard_message - 1);
  guard_message_size = sig_atomic_t(std::strlen(guard_message));
  release_end_signals(old);
}

void settle_files() {
  sigset_t set = end_signal_set();
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace tessera
