#include "run/opening.h"

#include <cstdio>
#include <cstring>

#include "run/dialogue.h"
#include "run/names.h"
#include "run/paths.h"
#include "run/platform.h"
#include "run/report.h"
#include "run/run_state.h"
#include "run/written_files.h"

namespace {

constexpr const char* too_long_path = "That name makes a path longer than 127 characters: please type a shorter one.";

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

// Refuses a folder answer that holds a character names cannot hold; a full
// path pasted in gets a refusal of its own, which names the folder to type.
void refuse_folder(const char* answer) {
  char name[name_size];
  if (!is_pasted_path(answer, name, sizeof name)) {
    refuse_answer(forbidden_character_refusal);
    return;
  }
  constexpr const char* pasted =
      "That is a full path: folders are named under C:\\images, and only the folder's name is typed";
  char why[256];
  if (name[0] != 0) {
    std::snprintf(why, sizeof why, "%s (here %s).", pasted, name);
  } else {
    std::snprintf(why, sizeof why, "%s.", pasted);
  }
  refuse_answer(why);
}

// Asks for a name until the path it completes, with `room` more characters
// after it, fits a path buffer.
void ask_name(const char* prompt, const char* path_so_far, size_t room) {
  for (;;) {
    ask_token(prompt, nomfic);
    if (has_forbidden_character(nomfic)) {
      refuse_answer(forbidden_character_refusal);
      continue;
    }
    if (std::strlen(path_so_far) + std::strlen(nomfic) + room < size_t(path_size)) return;
    refuse_answer(too_long_path);
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
bool take_own_output_name(const char* folder, const char* host_out) {
  char own[file_name_size];
  if (!full_name_of(host_out, own)) return true;
  size_t n = std::strlen(own);
  size_t stem = n - std::strlen(extension);
  // The answer may name a file in a subfolder (sub\NORT~V2O): only its last
  // part is replaced.
  size_t kept = 0;
  for (size_t i = 0; nomfic[i] != 0; ++i) {
    if (nomfic[i] == '\\' || nomfic[i] == '/') kept = i + 1;
  }
  if (has_extension(own, n) && kept + stem < size_t(name_size) &&
      std::strlen(folder) + kept + stem + std::strlen(report_suffix) < size_t(path_size)) {
    std::memcpy(nomfic + kept, own, stem);
    nomfic[kept + stem] = 0;
    return true;
  }
  char why[file_name_size + 128];
  std::snprintf(why, sizeof why,
                "That name is another name of %s, which this tool cannot write: please type another one.", own);
  refuse_answer(why);
  return false;
}

// Asks for the output name until it names neither a device nor the input
// file nor a file that is the input under another name.
void ask_output_name(const char* folder) {
  for (;;) {
    ask_name("\n\n\tName of the xyz file_out (whitout extension .xyz) ? ", folder, std::strlen(report_suffix));
    char out[path_size];
    char info[path_size];
    build_output_paths(folder, nomfic, out, info);
    char host_in[host_path_size];
    char host_out[host_path_size];
    char host_info[host_path_size];
    host_name(nom_in, host_in);
    host_name(out, host_out);
    host_name(info, host_info);
    if (names_a_device(host_out) || names_a_device(host_info)) {
      refuse_answer("That name is the name of a device, not of a file: please type another one.");
      continue;
    }
    if (!take_own_output_name(folder, host_out)) continue;
    build_output_paths(folder, nomfic, out, info);
    host_name(out, host_out);
    host_name(info, host_info);
    if (std::strcmp(out, nom_in) != 0 && !same_file(host_out, host_in) && !same_file(host_info, host_in)) return;
    refuse_answer("That name would overwrite the input file: please type another one.");
  }
}

}  // namespace

void opening() {
  show_banner();
  for (;;) {
    ask_token("\n\n\tName of the File Folder located in the Directory C:\\images : ", nomdir);
    if (has_forbidden_character(nomdir)) {
      refuse_folder(nomdir);
      continue;
    }
    // Room for the separator, a one-letter name and the report suffix.
    if (std::strlen(root) + std::strlen(nomdir) + 2 + std::strlen(report_suffix) < size_t(path_size)) break;
    refuse_answer(too_long_path);
  }
  char folder[path_size];
  build_folder_path(nomdir, folder);
  ask_name("\n\n\tName of the xyz file_in (whitout extension .xyz) ? ", folder, std::strlen(extension));
  build_input_path(folder, nomfic, nom_in);
  ask_output_name(folder);
  build_output_paths(folder, nomfic, nom_out, nom_info);

  // Only a regular file is a point file: a folder, a device or a FIFO is
  // treated as a file that cannot be opened.
  char host_in[host_path_size];
  host_name(nom_in, host_in);
  if (is_regular_file(host_in)) f1 = open_input(host_in);
  if (f1 == nullptr) {
    char no_file[path_size + 16];
    std::snprintf(no_file, sizeof no_file, "\n\tNo File %s \n", nom_in);
    show("%s", no_file);
    key_wait(no_file);
    end_run(status_ok);
  }
  // The passes read and write whole blocks of their own.
  std::setvbuf(f1, nullptr, _IONBF, 0);
  watch_input(f1, host_in);
  // The output and the report are new temporary files until the run
  // completes; the final names are untouched until then.
  open_written_files();
  std::setvbuf(f2, nullptr, _IONBF, 0);

  report("\n\tTESSERA_SIFT ");
  report("\n\n\tFile_in : %s ", nom_in);
  report("\n\n\tFile_out : %s ", nom_out);
}
