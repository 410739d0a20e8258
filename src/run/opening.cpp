#include "run/messages.h"
#include "run/opening.h"

#include <cstdio>
#include <cstring>

#include "host/host_files.h"
#include "run/dialogue.h"
#include "run/names.h"
#include "run/paths.h"
#include "run/report.h"
#include "run/written_files.h"

namespace tessera {

namespace {

// Room for a refusal's own words around the name it quotes.
constexpr size_t refusal_words = 128;

// Which name a prompt asks for: the folder, or a file's name in it.
enum class name_asked { folder, file };

void show_banner() {
  show("\n\t***********************************************************");
  show("\n\t*                                                         *");
  show("\n\t*                                                         *");
  show("\n\t*                     TESSERA_SIFT                        *");
  for (int i = 0; i < 5; ++i) show("\n\t*                                                         *");
  show("\n\t*                                     The TESSERA_SIFT    *");
  show("\n\t*                                         contributors    *");
  show("\n\t*                                      (December 2026)    *");
  show("\n\t*                                                         *");
  show("\n\t***********************************************************");
  show("\n\n\tThis program extracts from a xyz_file a selected area");
  show("\n\n\tThe resulting file has xyz format");
}

// Refuses a name that holds a character names cannot hold. A folder answer
// pasted as a full path gets a refusal of its own, which names the folder to
// type when it can.
void refuse_name(name_asked asked, const char (&answer)[name_size]) {
  char name[name_size];
  if (asked != name_asked::folder || !is_pasted_path(answer, name, sizeof name)) {
    refuse_answer(refusal::forbidden_character);
    return;
  }
  if (name[0] == 0) {
    refuse_answer(refusal::pasted_path);
    return;
  }
  char why[refusal_words + name_size];
  std::snprintf(why, sizeof why, refusal::pasted_path_named, name);
  refuse_answer(why);
}

// Asks for a name into `answer` until it holds no character that names
// cannot hold and the path it completes, with `room` more characters after
// it, fits a path buffer. One way of asking for each of the three names.
// Returns status_ok, or status_input_ended if standard input ended.
int ask_name(const char* prompt, name_asked asked, char (&answer)[name_size], const char* path_so_far, size_t room) {
  for (;;) {
    int status = ask_token(prompt, answer);
    if (status != status_ok) return status;
    if (has_forbidden_character(answer)) {
      refuse_name(asked, answer);
      continue;
    }
    if (std::strlen(path_so_far) + std::strlen(answer) + room < size_t(path_size)) return status_ok;
    refuse_answer(refusal::path_too_long);
  }
}

// True if `name` ends in the point-file extension, in any case.
bool has_extension(const char* name, size_t n) {
  size_t e = std::strlen(extension);
  if (n <= e) return false;
  for (size_t i = 0; i < e; ++i) {
    char c = name[n - e + i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != extension[i]) return false;
  }
  return true;
}

// An output answer that names an existing output by another spelling (a
// short name, NORT~V2O for northern_area.xyz) is taken as the file's own
// name, so that the report and the lock follow the file, not the spelling.
// False, with the answer refused, when the file's own name cannot be an
// output answer (not a .xyz file, or too long).
bool take_own_output_name(const char* folder, const char* host_out, char (&file_answer)[name_size]) {
  char own[file_name_size];
  if (!full_name_of(host_out, own)) return true;
  size_t n = std::strlen(own);
  size_t stem = n - std::strlen(extension);
  // The answer may name a file in a subfolder (sub\NORT~V2O): only its last
  // part is replaced.
  size_t kept = 0;
  for (size_t i = 0; file_answer[i] != 0; ++i) {
    if (file_answer[i] == '\\' || file_answer[i] == '/') kept = i + 1;
  }
  if (has_extension(own, n) && kept + stem < size_t(name_size) &&
      std::strlen(folder) + kept + stem + std::strlen(report_suffix) < size_t(path_size)) {
    std::memcpy(file_answer + kept, own, stem);
    file_answer[kept + stem] = 0;
    return true;
  }
  char why[refusal_words + file_name_size];
  std::snprintf(why, sizeof why, refusal::another_name_of, own);
  refuse_answer(why);
  return false;
}

// Asks for the output name until it names neither a device nor the input
// file nor a file that is the input under another name. Returns status_ok,
// or status_input_ended if standard input ended.
int ask_output_name(const char* folder, const char* input_path, char (&file_answer)[name_size]) {
  for (;;) {
    int status = ask_name("\n\n\tName of the xyz file_out (whitout extension .xyz) ? ", name_asked::file,
                          file_answer, folder, std::strlen(report_suffix));
    if (status != status_ok) return status;
    char out[path_size];
    char info[path_size];
    build_output_paths(folder, file_answer, out, info);
    char host_in[host_path_size];
    char host_out[host_path_size];
    char host_info[host_path_size];
    host_name(input_path, host_in);
    host_name(out, host_out);
    host_name(info, host_info);
    if (names_a_device(host_out) || names_a_device(host_info)) {
      refuse_answer(refusal::device_name);
      continue;
    }
    if (!take_own_output_name(folder, host_out, file_answer)) continue;
    build_output_paths(folder, file_answer, out, info);
    host_name(out, host_out);
    host_name(info, host_info);
    if (std::strcmp(out, input_path) != 0 && !same_file(host_out, host_in) && !same_file(host_info, host_in)) {
      return status_ok;
    }
    refuse_answer(refusal::overwrites_input);
  }
}

// Asks for the folder and the two names, and builds the three built paths
// of `files` from them. Returns status_ok, or status_input_ended if
// standard input ended.
int ask_names_and_build_paths(run_files& files) {
  // The answers are needed only until the paths are built.
  char folder_answer[name_size];
  char file_answer[name_size];  // the input-name answer, then the output-name answer
  // Room after the folder for the separator, a one-letter name and the
  // report suffix.
  int status = ask_name("\n\n\tName of the File Folder located in the Directory C:\\images : ", name_asked::folder,
                        folder_answer, root, 2 + std::strlen(report_suffix));
  if (status != status_ok) return status;
  char folder[path_size];
  build_folder_path(folder_answer, folder);
  status = ask_name("\n\n\tName of the xyz file_in (whitout extension .xyz) ? ", name_asked::file, file_answer,
                    folder, std::strlen(extension));
  if (status != status_ok) return status;
  build_input_path(folder, file_answer, files.input.built);
  status = ask_output_name(folder, files.input.built, file_answer);
  if (status != status_ok) return status;
  build_output_paths(folder, file_answer, files.output.built, files.report.built);
  return status_ok;
}

// Opens the input for reading and starts watching it, or says "No File",
// waits for a key and returns a status of its own, status_no_input, so that
// a script sees the failure: nothing else is touched then.
int open_and_watch_input(watched_input& in) {
  // Only a regular file is a point file: a folder, a device or a FIFO is
  // treated as a file that cannot be opened.
  host_name(in.built, in.host);
  if (is_regular_file(in.host)) in.stream = open_input(in.host);
  if (in.stream == nullptr) {
    char no_file[path_size + 16];
    std::snprintf(no_file, sizeof no_file, failure::no_file, in.built);
    show("%s", no_file);
    key_wait(no_file);
    return status_no_input;
  }
  // The passes read and write whole blocks of their own.
  std::setvbuf(in.stream, nullptr, _IONBF, 0);
  watch_input(in);
  return status_ok;
}

// True if the header was written (see report).
bool write_report_header(run_files& files) {
  return report(files.report, "\n\tTESSERA_SIFT ") &&
         report(files.report, "\n\n\tFile_in : %s ", files.input.built) &&
         report(files.report, "\n\n\tFile_out : %s ", files.output.built);
}

}  // namespace

int opening(run_files& files) {
  show_banner();
  int status = ask_names_and_build_paths(files);
  if (status == status_ok) status = open_and_watch_input(files.input);
  // The output and the report are new temporary files until the run
  // completes; the final names are untouched until then.
  if (status == status_ok) status = open_written_files(files);
  if (status != status_ok) return status;
  std::setvbuf(files.output.stream, nullptr, _IONBF, 0);
  return write_report_header(files) ? status_ok : status_write_failed;
}

}  // namespace tessera
