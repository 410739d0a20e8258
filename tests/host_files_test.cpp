// The room for the files a signal removes: a file beyond it is refused, not
// created unguarded.
#include "host/host_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "host/guarded_files.h"

using namespace tessera;

namespace {

TEST(GuardedFiles, AFileBeyondTheRoomIsRefusedAndLeavesNothing) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("tessera-guard-" + std::to_string(process_id()));
  fs::remove_all(folder);
  ASSERT_TRUE(fs::create_directory(folder));
  auto name = [&](int i) { return (folder / ("guarded-" + std::to_string(i))).string(); };
  for (int i = 0; i < guarded_files_room; ++i) {
    FILE* f = nullptr;
    file_stamp made;
    ASSERT_EQ(create_temporary(name(i).c_str(), f, made), 0) << name(i);
    std::fclose(f);
  }
  FILE* f = nullptr;
  file_stamp made;
  EXPECT_EQ(create_temporary(name(guarded_files_room).c_str(), f, made), no_room_to_guard);
  EXPECT_EQ(f, nullptr);
  EXPECT_FALSE(fs::exists(name(guarded_files_room)));
  fs::remove_all(folder);
}

}  // namespace
