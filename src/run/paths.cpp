#include "run/paths.h"

#include <cstdio>
#include <cstring>

namespace {

// "<folder of host_final>.<name of host_final><decoration>".
void beside(const char* host_final, const char* decoration, char (&out)[host_path_size]) {
  const char* name = host_final;
  for (const char* c = host_final; *c != 0; ++c) {
    if (*c == '/' || *c == '\\') name = c + 1;
  }
  // A built path has at most 127 characters and a decoration fewer than
  // 48, so this always fits; a longer one would be cut, never overrun.
  size_t folder = size_t(name - host_final);
  size_t used = 0;
  auto add = [&](const char* text, size_t n) {
    if (n > sizeof out - 1 - used) n = sizeof out - 1 - used;
    std::memcpy(out + used, text, n);
    used += n;
  };
  add(host_final, folder);
  add(".", 1);
  add(name, std::strlen(name));
  add(decoration, std::strlen(decoration));
  out[used] = 0;
}

}  // namespace

void build_folder_path(const char* folder_answer, char (&folder)[path_size]) {
  std::snprintf(folder, sizeof folder, "%s%s%s", root, folder_answer, separator);
}

void build_input_path(const char* folder, const char* name, char (&in)[path_size]) {
  std::snprintf(in, sizeof in, "%s%s%s", folder, name, extension);
}

void build_output_paths(const char* folder, const char* name, char (&out)[path_size], char (&info)[path_size]) {
  std::snprintf(out, sizeof out, "%s%s%s", folder, name, extension);
  std::snprintf(info, sizeof info, "%s%s%s", folder, name, report_suffix);
}

void host_name(const char* built, char (&host)[host_path_size]) { host_path(built, host, sizeof host); }

void build_temporary_path(const char* host_final, unsigned long pid, int attempt, char (&temp)[host_path_size]) {
  char decoration[48];
  if (attempt == 0) {
    std::snprintf(decoration, sizeof decoration, ".tessera-%lu.tmp", pid);
  } else {
    std::snprintf(decoration, sizeof decoration, ".tessera-%lu-%d.tmp", pid, attempt);
  }
  beside(host_final, decoration, temp);
}

void build_written_paths(const char* built_out, const char* built_info, unsigned long pid, written_paths& w) {
  host_name(built_out, w.out);
  host_name(built_info, w.info);
  build_temporary_path(w.out, pid, 0, w.temp_out);
  build_temporary_path(w.info, pid, 0, w.temp_info);
  beside(w.out, ".tessera-lock", w.lock);
}
