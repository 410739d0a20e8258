#include "run/command_line.h"

#include <cstdio>
#include <cstring>

#include "run/exit_status.h"

namespace tessera {

namespace {

// The usage, before and after the list of exit statuses.
constexpr const char* usage_before_statuses =
    "Usage: tessera_sift\n"
    "\n"
    "Extracts the points of a rectangular zone from an XYZ point file (X, Y\n"
    "and Z a point, any further columns of a line kept) and writes them to a\n"
    "new point file, with a plain-text report beside it.\n"
    "\n"
    "It takes no arguments: it asks its questions on the console (a folder\n"
    "under C:\\images, the input and output names without .xyz, the zone and\n"
    "a pixel size) and reads the answers from standard input.\n"
    "\n"
    "Files, for the answers site1, dem and north:\n"
    "  c:\\images\\site1\\dem.xyz              the input points\n"
    "  c:\\images\\site1\\north.xyz            the points inside the zone\n"
    "  c:\\images\\site1\\north_xyz_info.txt   the report\n"
    "On Linux the working directory plays C: and backslashes are slashes\n"
    "(images/site1/dem.xyz). The output and the report replace earlier ones\n"
    "only when the run completes (status 0, or 4 with a point read); on\n"
    "any other end the earlier files stay as they were.\n"
    "\n"
    "Exit status:\n";
// (the list of exit statuses, printed from their table)
constexpr const char* usage_after_statuses =
    "\n"
    "Options:\n"
    "  --help     show this text and end (-h and /? too)\n"
    "  --version  show the version and end\n"
    "\n"
    "See the manual page tessera_sift(1) for the whole dialogue and the formats.\n";

// Prints a status's code, then its meaning, each of its lines after the
// first under the first word.
void print_status(const exit_status_entry& entry) {
  char lead[16];
  const int indent = std::snprintf(lead, sizeof lead, "  %d  ", entry.code);
  std::fputs(lead, stdout);
  for (const char* c = entry.meaning; *c != '\0'; ++c) {
    std::putchar(*c);
    if (*c == '\n') std::printf("%*s", indent, "");
  }
  std::putchar('\n');
}

}  // namespace

bool answer_command_line(int argc, char** argv) {
  if (argc < 2) return false;
  // "-h" is how most tools are asked for help, and "/?" how Windows
  // programs are; both builds take them.
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "/?") == 0) {
    std::fputs(usage_before_statuses, stdout);
    for (const exit_status_entry& entry : exit_statuses) print_status(entry);
    std::fputs(usage_after_statuses, stdout);
    return true;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("tessera_sift %s\n", TESSERA_VERSION);
    return true;
  }
  return false;
}

}  // namespace tessera
