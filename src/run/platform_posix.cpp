#include "run/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// A shell shows a program ended by signal n with the status 128 + n.
constexpr int signal_status_base = 128;

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

// --- the folder of the written files ---------------------------------------

// The folder hold_folder opened (-1 before), its path and its identity.
int folder_fd = -1;
char folder_host[host_path_size];
dev_t folder_device = 0;
ino_t folder_index = 0;

// The name to give the *at calls for the file `host`, and the folder it is
// in (`dir`): its last component in the folder held, or the path itself
// before a folder is held.
const char* held_name(const char* host, int& dir) {
  if (folder_fd < 0) {
    dir = AT_FDCWD;
    return host;
  }
  dir = folder_fd;
  const char* slash = std::strrchr(host, '/');
  return slash != nullptr ? slash + 1 : host;
}

bool same_identity(const struct stat& st, const file_stamp& made) {
  return uint64_t(st.st_dev) == made.device && uint64_t(st.st_ino) == made.index;
}

// True if `name` in `dir` (not followed if a link) is the file `made`.
bool holds_at(int dir, const char* name, const file_stamp& made) {
  struct stat st;
  return fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && same_identity(st, made);
}

// The attribute flags (immutable, append-only, ...) of `name` in `dir`, or
// 0 where the host or the file system has none, or they cannot be read.
int attribute_flags(int dir, const char* name) {
#ifdef FS_IOC_GETFLAGS
  int fd = openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  int flags = 0;  // the kernel reads and writes an int, whatever the request's type says
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) flags = 0;
  close(fd);
  return flags;
#else
  (void)dir;
  (void)name;
  return 0;
#endif
}

#ifdef FS_IOC_GETFLAGS
constexpr int immutable_flag = FS_IMMUTABLE_FL;
constexpr int append_only_flag = FS_APPEND_FL;
#else
constexpr int immutable_flag = 0;
constexpr int append_only_flag = 0;
#endif

// In a folder with the sticky bit, only the owner of a file, the owner of
// the folder or root may rename over it or remove it.
bool sticky_refuses(const struct stat& file) {
  struct stat folder;
  if (folder_fd < 0 || fstat(folder_fd, &folder) != 0 || (folder.st_mode & S_ISVTX) == 0) return false;
  uid_t me = geteuid();
  return me != 0 && file.st_uid != me && folder.st_uid != me;
}

// --- the files a signal removes ---------------------------------------------

// The lock file and the two temporary files: their names in the folder
// held, and their identities, so that a name taken since by another file is
// left alone.
constexpr int guarded_max = 3;
struct guarded_file {
  char name[host_path_size];
  int dir;
  file_stamp made;
};
guarded_file guarded[guarded_max];
volatile sig_atomic_t guarded_count = 0;
// Room for the two "is unchanged" lines.
char guard_message[2 * host_path_size + 64];
volatile sig_atomic_t guard_message_size = 0;

void guard_add(const char* host, const struct stat& st) {
  if (guarded_count >= guarded_max) return;
  guarded_file& g = guarded[guarded_count];
  std::strcpy(g.name, held_name(host, g.dir));
  g.made.device = uint64_t(st.st_dev);
  g.made.index = uint64_t(st.st_ino);
  guarded_count = guarded_count + 1;
}

// Sends `sig` to the program with its default action, from a handler where
// it is blocked, and unblocks it so that it takes effect now. Only
// async-signal-safe calls.
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

// Ends the program as the signal `sig` does by default, from a handler
// where it is blocked. Process 1 of a PID namespace (a container's first
// process) is never sent a signal whose action is the default one: there
// the signal comes to nothing, and the program ends with the status a
// shell shows for it. Only async-signal-safe calls.
[[noreturn]] void end_as_signal(int sig) {
  raise_by_default(sig);  // the program ends here, if the signal was sent
  _exit(signal_status_base + sig);
}

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

int lock_fd = -1;
char lock_host[host_path_size];
file_stamp lock_made;

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

uint32_t random_tag() {
  uint32_t tag = 0;
#ifdef __linux__
  if (getrandom(&tag, sizeof tag, GRND_NONBLOCK) == ssize_t(sizeof tag)) return tag;
#endif
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return uint32_t(now.tv_nsec) ^ uint32_t(now.tv_sec);
}

int hold_folder(const char* host) {
  char folder[host_path_size];
  const char* slash = std::strrchr(host, '/');
  if (slash == nullptr) {
    std::strcpy(folder, ".");
  } else {
    std::snprintf(folder, sizeof folder, "%.*s", int(slash - host), host);
  }
  // O_PATH: a folder the run may write but not list is held all the same.
#ifdef O_PATH
  int fd = open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    int err = errno;
    if (fd >= 0) close(fd);
    return err;
  }
  folder_fd = fd;
  std::strcpy(folder_host, folder);
  folder_device = st.st_dev;
  folder_index = st.st_ino;
  int flags = attribute_flags(fd, ".");
  if (flags & immutable_flag) return folder_marked_immutable;
  if (flags & append_only_flag) return folder_marked_append_only;
  return 0;
}

bool folder_in_place() {
  struct stat now;
  return folder_fd < 0 ||
         (stat(folder_host, &now) == 0 && now.st_dev == folder_device && now.st_ino == folder_index);
}

int final_path_refused(const char* host) {
  int dir;
  const char* name = held_name(host, dir);
  struct stat st;
  if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return not_a_regular_file;
  if (sticky_refuses(st)) return owned_by_another_user;
  if (S_ISLNK(st.st_mode)) return 0;
  // Attributes that forbid the rename over the file, which the check below
  // does not see (for append-only) or tells only as "not permitted".
  int flags = attribute_flags(dir, name);
  if (flags & immutable_flag) return marked_immutable;
  if (flags & append_only_flag) return marked_append_only;
  // A file its owner made read-only stays as it is, as when it was opened
  // for writing in place.
  if (faccessat(dir, name, W_OK, 0) != 0 && (errno == EACCES || errno == EROFS)) return errno;
  return 0;
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

int lock_output(const char* host, bool& lock_file_there) {
  int dir;
  const char* name = held_name(host, dir);
  lock_file_there = true;
  // The holder removes the lock file before it releases the lock, so a run
  // that locked a file since removed must lock the new one. A few rounds are
  // enough: each one means another run has just ended.
  constexpr int lock_rounds = 8;
  for (int round = 0; round < lock_rounds; ++round) {
    sigset_t old = hold_end_signals();
    int fd = openat(dir, name, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
      // A lock is taken on any descriptor: a lock file this user may not
      // write (another user's) is opened for reading.
      int cannot_create = errno;
      fd = openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0 && errno == ENOENT) errno = cannot_create;
    }
    if (fd < 0) {
      int err = errno;
      struct stat there;
      lock_file_there = fstatat(dir, name, &there, AT_SYMLINK_NOFOLLOW) == 0;
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
    lock_made.device = uint64_t(held.st_dev);
    lock_made.index = uint64_t(held.st_ino);
    if (holds_at(dir, name, lock_made)) {
      lock_fd = fd;
      std::strcpy(lock_host, host);
      guard_add(host, held);
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
  remove_file(lock_host, lock_made);
  close(lock_fd);
  lock_fd = -1;
}

int create_temporary(const char* host, FILE*& f, file_stamp& made) {
  int dir;
  const char* name = held_name(host, dir);
  sigset_t old = hold_end_signals();
  int fd = openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
  int err = errno;
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) != 0) {
    err = errno;
    close(fd);
    unlinkat(dir, name, 0);
    fd = -1;
  }
  if (fd >= 0) guard_add(host, st);
  release_end_signals(old);
  if (fd < 0) return err;
  made.device = uint64_t(st.st_dev);
  made.index = uint64_t(st.st_ino);
  f = fdopen(fd, "wb");
  if (f == nullptr) {
    err = errno;
    close(fd);
    unlinkat(dir, name, 0);
    return err;
  }
  return 0;
}

int take_attributes(FILE* f, const char* like) {
  const int fd = fileno(f);
  int like_dir;
  const char* like_name = held_name(like, like_dir);
  struct stat earlier;
  mode_t mode;
  if (fstatat(like_dir, like_name, &earlier, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(earlier.st_mode)) {
    // The published file keeps the owner, the group and the permissions of
    // the one it replaces, as far as this user may give them: root gives
    // both, another user a group of theirs, and the file is theirs anyway.
    if (fchown(fd, earlier.st_uid, earlier.st_gid) != 0 && fchown(fd, uid_t(-1), earlier.st_gid) != 0) {
      // Neither is this user's to give: the new file is theirs.
    }
    mode = earlier.st_mode & 0777;
  } else {
    // The umask can only be read by setting it; it is put back at once.
    const mode_t mask = umask(0);
    umask(mask);
    mode = (S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH) & ~mask;
  }
  return fchmod(fd, mode) == 0 ? 0 : errno;
}

bool holds_file(const char* host, const file_stamp& made) {
  int dir;
  const char* name = held_name(host, dir);
  return holds_at(dir, name, made);
}

int remove_left_files(bool (*left_by_killed_run)(const char* name)) {
  if (folder_fd < 0) return 0;
  // A descriptor of its own, to list the folder (which O_PATH cannot).
  int listing = openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return 0;
  DIR* d = fdopendir(listing);
  if (d == nullptr) {
    close(listing);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = readdir(d)) {
    struct stat st;
    if (left_by_killed_run(entry->d_name) && fstatat(folder_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && unlinkat(folder_fd, entry->d_name, 0) == 0) {
      ++removed;
    }
  }
  closedir(d);
  return removed;
}

void forget_cached(const char* host) {
  int dir;
  const char* name = held_name(host, dir);
  int fd = openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
}

int replace_file(const char* from, const char* to) {
  int dir;
  const char* from_name = held_name(from, dir);
  const char* to_name = held_name(to, dir);
#ifdef __linux__
  // Over an earlier file (or a link), the two names are swapped and then
  // the earlier file, now under the temporary name, is removed: a plain
  // rename over a file makes ext4 write the whole new file to the device
  // before it returns, which costs a large output the device's write time
  // (bench/README.md). Each step is atomic, so the final name always holds
  // a complete file, the earlier one or the new one.
  struct stat there;
  if (fstatat(dir, to_name, &there, AT_SYMLINK_NOFOLLOW) == 0 && (S_ISREG(there.st_mode) || S_ISLNK(there.st_mode)) &&
      renameat2(dir, from_name, dir, to_name, RENAME_EXCHANGE) == 0) {
    // Something else may have taken the final name since: then it is
    // swapped back, and the plain rename below refuses or replaces it as it
    // would have.
    struct stat swapped;
    if (fstatat(dir, from_name, &swapped, AT_SYMLINK_NOFOLLOW) == 0 &&
        (S_ISREG(swapped.st_mode) || S_ISLNK(swapped.st_mode))) {
      unlinkat(dir, from_name, 0);
      return 0;
    }
    renameat2(dir, from_name, dir, to_name, RENAME_EXCHANGE);
  }
  // No earlier file, or a file system that cannot swap names.
#endif
  return renameat(dir, from_name, dir, to_name) == 0 ? 0 : errno;
}

void remove_file(const char* host, const file_stamp& made) {
  int dir;
  const char* name = held_name(host, dir);
  if (holds_at(dir, name, made)) unlinkat(dir, name, 0);
}

const char* error_text(int err) { return std::strerror(err); }

int write_failure(const char*, int err) { return err; }

void settle_files() {
  sigset_t set = end_signal_set();
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

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

bool names_a_device(const char*) {
  // A POSIX file system has no names reserved for devices outside /dev.
  return false;
}

bool full_name_of(const char*, char (&)[file_name_size]) {
  // A POSIX file system has one name for a file in a folder.
  return false;
}
