#include "run/exit_status.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace tessera;

namespace {

// The codes the manual page lists in its EXIT STATUS section: each entry is
// a ".TP" line, then ".B" and the code.
std::vector<int> manual_page_codes(const char* path) {
  std::ifstream page(path);
  std::vector<int> codes;
  std::string line, previous;
  bool in_section = false;
  while (std::getline(page, line)) {
    if (line.rfind(".SH", 0) == 0) in_section = line == ".SH EXIT STATUS";
    if (in_section && previous == ".TP" && line.rfind(".B ", 0) == 0 &&
        line.find_first_not_of("0123456789", 3) == std::string::npos)
      codes.push_back(std::stoi(line.substr(3)));
    previous = line;
  }
  return codes;
}

TEST(ExitStatus, ManualPageListsTheStatusesOfTheTable) {
  std::vector<int> table;
  for (const exit_status_entry& entry : exit_statuses) table.push_back(entry.code);
  EXPECT_EQ(manual_page_codes(TESSERA_MANUAL_PAGE), table) << TESSERA_MANUAL_PAGE;
}

}  // namespace
