// The terminal on POSIX hosts: the key wait, which reads one key from the
// controlling terminal in raw mode and gives the terminal its modes back
// whatever ends or stops the program meanwhile, and the console's start.
#include "host/host_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "host/posix_shared.h"

namespace tessera {

using namespace posix_host;

namespace {

// The terminal being waited on and its modes, for the signal handlers.
int tty_fd = -1;
termios tty_saved;
termios tty_raw;
struct sigaction before_wait[end_signal_count];

// The signals that stop the program, and SIGCONT that resumes it.
constexpr int stop_signals[] = {SIGTSTP, SIGTTIN, SIGTTOU};
constexpr int stop_signal_count = int(sizeof stop_signals / sizeof stop_signals[0]);
struct sigaction before_stop[stop_signal_count];
struct sigaction before_cont;
struct sigaction on_stop;

// The faults of the program itself, and the actions they had before the
// wait (the default one, or a sanitizer's).
constexpr int fault_signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};
constexpr int fault_signal_count = int(sizeof fault_signals / sizeof fault_signals[0]);
struct sigaction before_fault[fault_signal_count];

bool is_default(const struct sigaction& a) { return (a.sa_flags & SA_SIGINFO) == 0 && a.sa_handler == SIG_DFL; }

// Gives the signal `sig` back to the action it had before the wait, and
// ends the program by it: when this handler returns, the signal is
// delivered again to that action (the run's own handler), or, for the
// default action, it ends the program now.
void end_by_earlier_action(int sig, const struct sigaction& earlier) {
  sigaction(sig, &earlier, nullptr);
  if (is_default(earlier)) end_as_signal(sig);
  raise(sig);
}

extern "C" void restore_and_end(int sig) {
  tcsetattr(tty_fd, TCSANOW, &tty_saved);
  for (int i = 0; i < end_signal_count; ++i) {
    if (end_signals[i] == sig) end_by_earlier_action(sig, before_wait[i]);
  }
}

extern "C" void restore_and_fault(int sig, siginfo_t* info, void*) {
  tcsetattr(tty_fd, TCSANOW, &tty_saved);
  for (int i = 0; i < fault_signal_count; ++i) {
    if (fault_signals[i] != sig) continue;
    // A fault of the program (a code the kernel set): the faulting
    // instruction runs again when this handler returns, and the fault takes
    // its course with the earlier action (a core dump, a sanitizer's
    // report). The same signal sent by a process ends the program as it
    // would have.
    if (info->si_code > 0) {
      sigaction(sig, &before_fault[i], nullptr);
    } else {
      end_by_earlier_action(sig, before_fault[i]);
    }
  }
}

extern "C" void restore_and_stop(int sig) {
  int saved_errno = errno;
  tcsetattr(tty_fd, TCSANOW, &tty_saved);
  raise_by_default(sig);  // the program stops here
  // Continued: wait on in raw mode.
  sigaction(sig, &on_stop, nullptr);
  tcsetattr(tty_fd, TCSANOW, &tty_raw);
  errno = saved_errno;
}

extern "C" void raw_again(int) {
  int saved_errno = errno;
  tcsetattr(tty_fd, TCSANOW, &tty_raw);
  errno = saved_errno;
}

// Sets the terminal's modes, again after a signal interrupted the request
// (a stop for a background job's terminal access, and the job continued).
int set_modes(int fd, const termios& modes) {
  int result;
  do result = tcsetattr(fd, TCSANOW, &modes);
  while (result != 0 && errno == EINTR);
  return result;
}

// A key that sends several bytes arrives in one burst, which starts with
// ESC (an arrow key, an Alt combination) or with a UTF-8 lead byte, 0xC0 or
// above (a character outside ASCII). The rest of the burst is what comes
// within 50 ms, read up to 32 bytes (more than one key sends).
constexpr unsigned char escape_key = 0x1B;
constexpr unsigned char first_lead_byte = 0xC0;
constexpr int burst_wait_ms = 50;
constexpr size_t burst_rest_max = 32;

// Reads the rest of the burst a key's first byte `first` started.
void drain_key(int fd, unsigned char first) {
  if (first != escape_key && first < first_lead_byte) return;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, burst_wait_ms) > 0) {
    unsigned char rest[burst_rest_max];
    termios now = tty_raw;
    now.c_cc[VMIN] = 0;
    now.c_cc[VTIME] = 0;
    set_modes(fd, now);
    ssize_t ignored = read(fd, rest, sizeof rest);
    (void)ignored;
  }
}

// True if standard output is the controlling terminal (the one /dev/tty
// opens): the terminal of this process's session. A descriptor opened
// through /dev/tty reports /dev/tty itself to fstat, so the devices cannot
// be compared.
bool output_is_terminal() {
  pid_t session = getsid(0);
  return isatty(STDOUT_FILENO) && session != -1 && tcgetsid(STDOUT_FILENO) == session;
}

void write_all(int fd, const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    ssize_t n = write(fd, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= size_t(n);
  }
}

// Installs the key wait's handlers: each one restores the terminal's modes
// first. A signal the program ignores stays ignored.
void install_wait_handlers() {
  // The stop signals wait while the terminal is restored: from a background
  // job, the terminal is then restored instead of stopping the program.
  sigset_t stops;
  sigemptyset(&stops);
  for (int sig : stop_signals) sigaddset(&stops, sig);
  struct sigaction on_end {};
  on_end.sa_handler = restore_and_end;
  on_end.sa_mask = stops;
  for (int i = 0; i < end_signal_count; ++i) {
    sigaction(end_signals[i], nullptr, &before_wait[i]);
    if (before_wait[i].sa_handler != SIG_IGN) sigaction(end_signals[i], &on_end, nullptr);
  }
  struct sigaction on_fault {};
  on_fault.sa_sigaction = restore_and_fault;
  on_fault.sa_flags = SA_SIGINFO;
  on_fault.sa_mask = stops;
  for (int i = 0; i < fault_signal_count; ++i) {
    sigaction(fault_signals[i], nullptr, &before_fault[i]);
    if (before_fault[i].sa_handler != SIG_IGN) sigaction(fault_signals[i], &on_fault, nullptr);
  }
  on_stop = {};
  on_stop.sa_handler = restore_and_stop;
  sigemptyset(&on_stop.sa_mask);
  for (int i = 0; i < stop_signal_count; ++i) {
    sigaction(stop_signals[i], nullptr, &before_stop[i]);
    if (before_stop[i].sa_handler != SIG_IGN) sigaction(stop_signals[i], &on_stop, nullptr);
  }
  struct sigaction on_cont {};
  on_cont.sa_handler = raw_again;
  sigemptyset(&on_cont.sa_mask);
  sigaction(SIGCONT, &on_cont, &before_cont);
}

void remove_wait_handlers() {
  for (int i = 0; i < end_signal_count; ++i) sigaction(end_signals[i], &before_wait[i], nullptr);
  for (int i = 0; i < fault_signal_count; ++i) sigaction(fault_signals[i], &before_fault[i], nullptr);
  for (int i = 0; i < stop_signal_count; ++i) sigaction(stop_signals[i], &before_stop[i], nullptr);
  sigaction(SIGCONT, &before_cont, nullptr);
}

}  // namespace

void console_start() { std::signal(SIGXFSZ, SIG_IGN); }

void wait_for_key(const char* shown) {
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;  // no terminal: nobody to press a key
  // A job in the background (started with &, by GNU parallel, by nohup at a
  // terminal) would be stopped by reading the terminal, and a batch would
  // hang on it: only the foreground job waits.
  if (tcgetpgrp(fd) != getpgrp() || tcgetattr(fd, &tty_saved) != 0) {
    close(fd);
    return;
  }
  // The user must see what the program waits for, wherever its standard
  // output goes.
  if (!output_is_terminal()) write_all(fd, shown);

  // No echo, no line mode, and no signal or flow-control keys: Ctrl-C is a
  // key like any other here. TCSANOW keeps what was typed before the wait.
  tty_raw = tty_saved;
  tty_raw.c_lflag &= ~tcflag_t(ICANON | ECHO | ISIG | IEXTEN);
  tty_raw.c_iflag &= ~tcflag_t(IXON);
  tty_raw.c_cc[VMIN] = 1;
  tty_raw.c_cc[VTIME] = 0;
  tty_fd = fd;
  install_wait_handlers();
  if (set_modes(fd, tty_raw) == 0) {
    unsigned char key;
    ssize_t n;
    do n = read(fd, &key, 1);
    while (n < 0 && errno == EINTR);
    if (n == 1) drain_key(fd, key);
  }
  set_modes(fd, tty_saved);
  remove_wait_handlers();
  tty_fd = -1;
  close(fd);
}

}  // namespace tessera
