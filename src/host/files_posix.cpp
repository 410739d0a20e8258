// The files on POSIX hosts: built paths as host paths, the folder of the
// written files held open and every file of the run reached through it, the
// lock, the temporary files, their attributes, the replace and the stamps.
#include "host/host_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

#include "host/guarded_files.h"
#include "host/posix_shared.h"

namespace tessera {

using namespace posix_host;

namespace {

// The folder hold_folder opened (-1 before), its path and its identity.
int folder_fd = -1;
char folder_host[host_path_size];
dev_t folder_device = 0;
ino_t folder_index = 0;

bool same_identity(const struct stat& st, const file_stamp& made) {
  return uint64_t(st.st_dev) == made.device && uint64_t(st.st_ino) == made.index;
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

// The lock lock_output holds (-1 before): its descriptor, its path and the
// identity of its file.
int lock_fd = -1;
char lock_host[host_path_size];
file_stamp lock_made;

// A stamp's times are in nanoseconds, the finest unit of struct stat.
constexpr int64_t nanoseconds_per_second = 1000000000;

void copy_stamp(const struct stat& st, file_stamp& s) {
  s.device = uint64_t(st.st_dev);
  s.index = uint64_t(st.st_ino);
  s.size = uint64_t(st.st_size);
  s.modified = int64_t(st.st_mtim.tv_sec) * nanoseconds_per_second + st.st_mtim.tv_nsec;
  s.changed = int64_t(st.st_ctim.tv_sec) * nanoseconds_per_second + st.st_ctim.tv_nsec;
}

}  // namespace

namespace posix_host {

const char* held_name(const char* host, int& dir) {
  if (folder_fd < 0) {
    dir = AT_FDCWD;
    return host;
  }
  dir = folder_fd;
  const char* slash = std::strrchr(host, '/');
  return slash != nullptr ? slash + 1 : host;
}

bool holds_at(int dir, const char* name, const file_stamp& made) {
  struct stat st;
  return fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && same_identity(st, made);
}

}  // namespace posix_host

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
      if (!guard_add(host, lock_made)) {
        // As unlock_output does: the lock file goes before the lock.
        unlinkat(dir, name, 0);
        close(fd);
        release_end_signals(old);
        return no_room_to_guard;
      }
      lock_fd = fd;
      std::strcpy(lock_host, host);
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
  if (fd >= 0) {
    made.device = uint64_t(st.st_dev);
    made.index = uint64_t(st.st_ino);
    if (!guard_add(host, made)) {
      err = no_room_to_guard;
      close(fd);
      unlinkat(dir, name, 0);
      fd = -1;
    }
  }
  release_end_signals(old);
  if (fd < 0) return err;
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

int remove_left_files(bool (*left_by_killed_run)(const char* name, const void* context), const void* context) {
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
    if (left_by_killed_run(entry->d_name, context) &&
        fstatat(folder_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        unlinkat(folder_fd, entry->d_name, 0) == 0) {
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

int write_failure(const char*, int err) { return err; }

bool names_a_device(const char*) {
  // A POSIX file system has no names reserved for devices outside /dev.
  return false;
}

bool full_name_of(const char*, char (&)[file_name_size]) {
  // A POSIX file system has one name for a file in a folder.
  return false;
}

}  // namespace tessera
