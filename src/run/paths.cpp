#include "run/paths.h"

#include <cstdio>
#include <cstring>

namespace tessera {

namespace {

// What a temporary name adds to "." and its final name, around the process
// id and the tag.
constexpr const char* temporary_infix = ".tessera-";
constexpr const char* temporary_suffix = ".tmp";

// "<folder of host_final>.<name of host_final><decoration>".
void beside(const char* host_final, const char* decoration, char (&out)[host_path_size]) {
  const char* name = name_in_folder(host_final);
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

const char* name_in_folder(const char* host) {
  const char* name = host;
  for (const char* c = host; *c != 0; ++c) {
    if (*c == '/' || *c == '\\') name = c + 1;
  }
  return name;
}

void build_temporary_path(const char* host_final, unsigned long pid, uint32_t tag, char (&temp)[host_path_size]) {
  char decoration[48];
  std::snprintf(decoration, sizeof decoration, "%s%lu-%08lx%s", temporary_infix, pid, static_cast<unsigned long>(tag),
                temporary_suffix);
  beside(host_final, decoration, temp);
}

bool is_temporary_name(const char* name, const char* host_final) {
  // "." and the final name.
  const char* final_name = name_in_folder(host_final);
  size_t final_length = std::strlen(final_name);
  if (name[0] != '.' || std::strncmp(name + 1, final_name, final_length) != 0) return false;
  const char* c = name + 1 + final_length;
  // ".tessera-" and the process id.
  size_t infix_length = std::strlen(temporary_infix);
  if (std::strncmp(c, temporary_infix, infix_length) != 0) return false;
  c += infix_length;
  auto is_digit = [](char d) { return d >= '0' && d <= '9'; };
  auto is_hex = [&](char d) { return is_digit(d) || (d >= 'a' && d <= 'f'); };
  if (!is_digit(*c)) return false;
  while (is_digit(*c)) ++c;
  // The tag, or an earlier version's attempt number.
  if (*c == '-') {
    ++c;
    if (!is_hex(*c)) return false;
    while (is_hex(*c)) ++c;
  }
  return std::strcmp(c, temporary_suffix) == 0;
}

void build_lock_path(const char* host_out, char (&lock)[host_path_size]) { beside(host_out, ".tessera-lock", lock); }

}  // namespace tessera
