#include "run/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstring>

void console_start() {}

void host_path(const char* built, char* out, size_t size) {
  // Every built path starts with the root "c:\"; the working directory
  // stands for it.
  const char* in = built;
  if ((in[0] == 'c' || in[0] == 'C') && in[1] == ':' && in[2] == '\\') in += 3;
  size_t i = 0;
  for (; in[i] != 0 && i + 1 < size; ++i) out[i] = in[i] == '\\' ? '/' : in[i];
  out[i] = 0;
}

bool is_regular_file(const char* built) {
  char path[256];
  host_path(built, path, sizeof path);
  struct stat st;
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool same_file(const char* built_a, const char* built_b) {
  char a[256];
  char b[256];
  host_path(built_a, a, sizeof a);
  host_path(built_b, b, sizeof b);
  struct stat sa;
  struct stat sb;
  return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace {

// The terminal being waited on and its modes, for the signal handler.
int tty_fd = -1;
termios tty_saved;
constexpr int end_signals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

extern "C" void restore_and_die(int sig) {
  // tcsetattr is async-signal-safe. The handler was installed with
  // SA_RESETHAND, so raising again applies the default action.
  tcsetattr(tty_fd, TCSANOW, &tty_saved);
  raise(sig);
}

// A key that sends several bytes (an arrow key, an Alt combination, a
// character outside ASCII) arrives in one burst: read the rest of it.
void drain_key(int fd, unsigned char first) {
  if (first != 0x1B && first < 0xC0) return;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 50) > 0) {
    unsigned char rest[32];
    termios now;
    tcgetattr(fd, &now);
    now.c_cc[VMIN] = 0;
    now.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &now);
    ssize_t ignored = read(fd, rest, sizeof rest);
    (void)ignored;
  }
}

}  // namespace

void wait_for_key(const char*) {
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;  // no terminal: nobody to press a key
  if (tcgetattr(fd, &tty_saved) != 0) {
    close(fd);
    return;
  }
  tty_fd = fd;
  struct sigaction on_end {};
  on_end.sa_handler = restore_and_die;
  on_end.sa_flags = SA_RESETHAND;
  sigemptyset(&on_end.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(end_signals[i], &on_end, &previous[i]);

  // No echo, no line mode, and no signal or flow-control keys: Ctrl-C is a
  // key like any other here. TCSANOW keeps what was typed before the wait.
  termios raw = tty_saved;
  raw.c_lflag &= ~tcflag_t(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_iflag &= ~tcflag_t(IXON);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &raw) == 0) {
    unsigned char key;
    ssize_t n;
    do n = read(fd, &key, 1);
    while (n < 0 && errno == EINTR);
    if (n == 1) drain_key(fd, key);
  }
  tcsetattr(fd, TCSANOW, &tty_saved);
  for (int i = 0; i < 3; ++i) sigaction(end_signals[i], &previous[i], nullptr);
  tty_fd = -1;
  close(fd);
}

FILE* open_input(const char* host) { return std::fopen(host, "rb"); }

FILE* create_file(const char* host) { return std::fopen(host, "wb"); }

bool names_a_device(const char*) {
  // A POSIX file system has no names reserved for devices outside /dev.
  return false;
}
