#include "run/platform.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// The catchable signals whose default action ends the program and that
// another process (a shell, a terminal, a pipe reader, a job scheduler) may
// send. Faults (SIGSEGV and the like) are left to their default action and
// to the sanitizers. SIGXFSZ is ignored instead (see console_start).
constexpr int end_signals[] = {SIGHUP, SIGINT,  SIGQUIT, SIGABRT, SIGUSR1,   SIGUSR2,
                               SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF};
constexpr int end_signal_count = int(sizeof end_signals / sizeof end_signals[0]);

sigset_t end_signal_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : end_signals) sigaddset(&set, sig);
  return set;
}

// Blocks the end signals while a file is created and recorded, so that no
// signal falls between the two; gives back the mask to restore.
sigset_t hold_end_signals() {
  sigset_t set = end_signal_set();
  sigset_t old;
  sigprocmask(SIG_BLOCK, &set, &old);
  return old;
}

void release_end_signals(const sigset_t& old) { sigprocmask(SIG_SETMASK, &old, nullptr); }

// --- the files a signal removes ---------------------------------------------

// The lock file and the two temporary files.
constexpr int guarded_max = 3;
char guarded[guarded_max][host_path_size];
volatile sig_atomic_t guarded_count = 0;
// Room for the two "is unchanged" lines.
char guard_message[2 * host_path_size + 64];
size_t guard_message_size = 0;

void guard_add(const char* host) {
  if (guarded_count >= guarded_max) return;
  std::strcpy(guarded[guarded_count], host);
  guarded_count = guarded_count + 1;
}

// Only async-signal-safe calls: unlink, write, sigaction, raise.
extern "C" void end_by_signal(int sig) {
  for (int i = 0; i < guarded_count; ++i) unlink(guarded[i]);
  // After SIGPIPE standard output is most likely the pipe that broke: the
  // message is not tried there, so that no second SIGPIPE is asked for.
  if (sig != SIGPIPE) {
    ssize_t ignored = write(STDOUT_FILENO, guard_message, guard_message_size);
    (void)ignored;
  }
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  sigemptyset(&by_default.sa_mask);
  sigaction(sig, &by_default, nullptr);
  // The signal is blocked inside its handler: it is delivered again, with
  // its default action, when the handler returns.
  raise(sig);
}

int lock_fd = -1;
char lock_host[host_path_size];

// --- the key wait ---------------------------------------------------------

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

extern "C" void restore_and_end(int sig) {
  tcsetattr(tty_fd, TCSANOW, &tty_saved);
  for (int i = 0; i < end_signal_count; ++i) {
    if (end_signals[i] == sig) sigaction(sig, &before_wait[i], nullptr);
  }
  // Delivered when this handler returns, to what handled it before the wait
  // (the run's own handler, or the default action).
  raise(sig);
}

extern "C" void restore_and_stop(int sig) {
  int saved_errno = errno;
  tcsetattr(tty_fd, TCSANOW, &tty_saved);
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  sigemptyset(&by_default.sa_mask);
  sigaction(sig, &by_default, nullptr);
  raise(sig);
  sigset_t just_this;
  sigemptyset(&just_this);
  sigaddset(&just_this, sig);
  sigprocmask(SIG_UNBLOCK, &just_this, nullptr);  // the program stops here
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

// A key that sends several bytes (an arrow key, an Alt combination, a
// character outside ASCII) arrives in one burst: read the rest of it.
void drain_key(int fd, unsigned char first) {
  if (first != 0x1B && first < 0xC0) return;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 50) > 0) {
    unsigned char rest[32];
    termios now = tty_raw;
    now.c_cc[VMIN] = 0;
    now.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &now);
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
  struct sigaction on_end {};
  on_end.sa_handler = restore_and_end;
  sigemptyset(&on_end.sa_mask);
  for (int i = 0; i < end_signal_count; ++i) {
    sigaction(end_signals[i], nullptr, &before_wait[i]);
    if (before_wait[i].sa_handler != SIG_IGN) sigaction(end_signals[i], &on_end, nullptr);
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
  for (int i = 0; i < stop_signal_count; ++i) sigaction(stop_signals[i], &before_stop[i], nullptr);
  sigaction(SIGCONT, &before_cont, nullptr);
}

void copy_stamp(const struct stat& st, file_stamp& s) {
  s.device = uint64_t(st.st_dev);
  s.index = uint64_t(st.st_ino);
  s.size = uint64_t(st.st_size);
  s.modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.changed = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

}  // namespace

void console_start() { std::signal(SIGXFSZ, SIG_IGN); }

void host_path(const char* built, char* out, size_t size) {
  // Every built path starts with the root "c:\"; the working directory
  // stands for it.
  const char* in = built;
  if ((in[0] == 'c' || in[0] == 'C') && in[1] == ':' && in[2] == '\\') in += 3;
  size_t i = 0;
  for (; in[i] != 0 && i + 1 < size; ++i) out[i] = in[i] == '\\' ? '/' : in[i];
  out[i] = 0;
}

bool is_regular_file(const char* host) {
  struct stat st;
  return stat(host, &st) == 0 && S_ISREG(st.st_mode);
}

bool same_file(const char* host_a, const char* host_b) {
  struct stat sa;
  struct stat sb;
  return stat(host_a, &sa) == 0 && stat(host_b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

FILE* open_input(const char* host) { return std::fopen(host, "rb"); }

FILE* duplicate_stream(FILE* f) {
  int fd = fcntl(fileno(f), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  FILE* copy = fdopen(fd, "rb");
  if (copy == nullptr) close(fd);
  return copy;
}

bool stamp_of_stream(FILE* f, file_stamp& s) {
  struct stat st;
  if (fstat(fileno(f), &st) != 0) return false;
  copy_stamp(st, s);
  return true;
}

bool stamp_of_path(const char* host, file_stamp& s) {
  struct stat st;
  if (stat(host, &st) != 0) return false;
  copy_stamp(st, s);
  return true;
}

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

int final_path_refused(const char* host) {
  struct stat st;
  if (lstat(host, &st) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISLNK(st.st_mode)) return 0;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return not_a_regular_file;
  // A file its owner made read-only stays as it is, as when it was opened
  // for writing in place.
  if (access(host, W_OK) != 0 && (errno == EACCES || errno == EROFS)) return errno;
  return 0;
}

void guard_start(const char* message) {
  std::strncpy(guard_message, message, sizeof guard_message - 1);
  guard_message_size = std::strlen(guard_message);
  struct sigaction on_end {};
  on_end.sa_handler = end_by_signal;
  on_end.sa_mask = end_signal_set();  // a second signal waits for the first to finish
  for (int sig : end_signals) {
    struct sigaction before;
    sigaction(sig, nullptr, &before);
    if (before.sa_handler != SIG_IGN) sigaction(sig, &on_end, nullptr);
  }
}

int lock_output(const char* host) {
  // The holder removes the lock file before it releases the lock, so a run
  // that locked a file since removed must lock the new one. A few rounds are
  // enough: each one means another run has just ended.
  constexpr int lock_rounds = 8;
  for (int round = 0; round < lock_rounds; ++round) {
    sigset_t old = hold_end_signals();
    int fd = open(host, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
      int err = errno;
      release_end_signals(old);
      return err;
    }
    struct stat held;
    if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      close(fd);
      release_end_signals(old);
      return not_a_regular_file;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int err = errno;
      close(fd);
      release_end_signals(old);
      return err == EWOULDBLOCK ? held_by_another_run : err;
    }
    struct stat now;
    if (stat(host, &now) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino) {
      lock_fd = fd;
      std::strcpy(lock_host, host);
      guard_add(host);
      release_end_signals(old);
      return 0;
    }
    close(fd);
    release_end_signals(old);
  }
  return held_by_another_run;
}

void unlock_output() {
  if (lock_fd < 0) return;
  unlink(lock_host);
  close(lock_fd);
  lock_fd = -1;
}

int create_temporary(const char* host, const char* like, FILE*& f) {
  sigset_t old = hold_end_signals();
  int fd = open(host, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  int err = errno;
  if (fd >= 0) guard_add(host);
  release_end_signals(old);
  if (fd < 0) return err;
  // The published file keeps the permissions of the one it replaces.
  struct stat st;
  if (stat(like, &st) == 0 && S_ISREG(st.st_mode)) fchmod(fd, st.st_mode & 0777);
  f = fdopen(fd, "wb");
  if (f == nullptr) {
    err = errno;
    close(fd);
    unlink(host);
    return err;
  }
  return 0;
}

void forget_cached(const char* host) {
  int fd = open(host, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
}

int replace_file(const char* from, const char* to) {
#ifdef __linux__
  // Over an earlier file (or a link), the two names are swapped and then
  // the earlier file, now under the temporary name, is removed: a plain
  // rename over a file makes ext4 write the whole new file to the device
  // before it returns, which costs a large output the device's write time
  // (bench/README.md). Each step is atomic, so the final name always holds
  // a complete file, the earlier one or the new one.
  struct stat there;
  if (lstat(to, &there) == 0 && (S_ISREG(there.st_mode) || S_ISLNK(there.st_mode)) &&
      renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
    // Something else may have taken the final name since: then it is
    // swapped back, and the plain rename below refuses or replaces it as it
    // would have.
    struct stat swapped;
    if (lstat(from, &swapped) == 0 && (S_ISREG(swapped.st_mode) || S_ISLNK(swapped.st_mode))) {
      unlink(from);
      return 0;
    }
    renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE);
  }
  // No earlier file, or a file system that cannot swap names.
#endif
  return rename(from, to) == 0 ? 0 : errno;
}

void remove_file(const char* host) { unlink(host); }

const char* error_text(int err) { return std::strerror(err); }

int write_failure(const char*, int err) { return err; }

void settle_files() {
  sigset_t set = end_signal_set();
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

void wait_for_key(const char* shown) {
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;  // no terminal: nobody to press a key
  if (tcgetattr(fd, &tty_saved) != 0) {
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
  if (tcsetattr(fd, TCSANOW, &tty_raw) == 0) {
    unsigned char key;
    ssize_t n;
    do n = read(fd, &key, 1);
    while (n < 0 && errno == EINTR);
    if (n == 1) drain_key(fd, key);
  }
  tcsetattr(fd, TCSANOW, &tty_saved);
  remove_wait_handlers();
  tty_fd = -1;
  close(fd);
}

bool names_a_device(const char*) {
  // A POSIX file system has no names reserved for devices outside /dev.
  return false;
}

bool full_name_of(const char*, char (&)[file_name_size]) {
  // A POSIX file system has one name for a file in a folder.
  return false;
}
