// A read error in either pass ends the run with status 5, whose files are
// never published. The input is a stream that fails once a given number of
// bytes has been read, armed for the survey or for the extraction.
//
// A report entry that cannot be written ends its phase at once with status
// 3, which the phase returns for main to end the run with. The report is a
// stream that fails once a given number of bytes has been written.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include <unistd.h>

#include "phases/extraction_pass.h"
#include "phases/survey_pass.h"
#include "phases/zone_selection.h"
#include "run/run_end.h"
#include "run/run_files.h"

using namespace tessera;

namespace {

struct failing_input {
  std::string data;
  size_t position = 0;
  bool armed;         // reading fails past fail_after
  size_t fail_after;  // the bytes that read well
};

ssize_t read_some(void* cookie, char* buf, size_t size) {
  auto* in = static_cast<failing_input*>(cookie);
  if (in->armed && in->position >= in->fail_after) {
    errno = EIO;
    return -1;
  }
  size_t n = std::min(size, in->data.size() - in->position);
  if (in->armed) n = std::min(n, in->fail_after - in->position);
  std::memcpy(buf, in->data.data() + in->position, n);
  in->position += n;
  return ssize_t(n);
}

int seek(void* cookie, off64_t* offset, int whence) {
  auto* in = static_cast<failing_input*>(cookie);
  if (whence != SEEK_SET) return -1;
  in->position = size_t(*offset);
  return 0;
}

TEST(ReadFailure, EitherPassGivesStatus5) {
  std::string points;
  for (int i = 0; i < 5000; ++i) points += std::to_string(i) + ".5 " + std::to_string(i) + " 7\n";
  struct {
    int failing_pass;
    size_t fail_after;
  } cases[] = {{1, 0}, {1, 3}, {1, 40000}, {2, 0}, {2, 40000}};
  for (const auto& c : cases) {
    failing_input in{points, 0, c.failing_pass == 1, c.fail_after};
    run_files files;
    files.input.stream = fopencookie(&in, "r", {read_some, nullptr, seek, nullptr});
    files.output.stream = std::tmpfile();
    files.report.stream = std::tmpfile();
    survey_values s{};
    int status = survey_pass(files, s);
    if (c.failing_pass == 2) {
      ASSERT_EQ(status, status_ok);
      in.armed = true;
      int64_t written = 0;
      status = extraction_pass(files, {0, 1e9, 0, 1e9}, s, written);
    }
    EXPECT_EQ(status, status_read_failed) << "pass " << c.failing_pass << " after " << c.fail_after;
    EXPECT_FALSE(points_were_used(status));
    for (FILE* f : {files.input.stream, files.output.stream, files.report.stream}) std::fclose(f);
  }
}

struct failing_output {
  size_t written = 0;
  size_t fail_after;  // the bytes that are written well
};

ssize_t write_some(void* cookie, const char* buf, size_t size) {
  auto* out = static_cast<failing_output*>(cookie);
  (void)buf;
  if (out->written + size > out->fail_after) {
    errno = ENOSPC;
    return -1;
  }
  out->written += size;
  return ssize_t(size);
}

TEST(ReportFailure, AnEntryThatFailsEndsThePhaseWithStatus3) {
  // A header, two points and a stop, so that the survey writes every kind
  // of its entries; the answers of the zone dialogue.
  const std::string points = "X Y Z\n1 2 3\n4 5 6\nabc\n";
  const char* answers = "0 10 0 10\n1\n";
  const char* said = "\n\tCould not write c:\\images\\site1\\north_xyz_info.txt : No space left on device\n";
  constexpr size_t never = std::numeric_limits<size_t>::max();
  const struct {
    int phase;  // 1 the survey, 2 the zone selection
    size_t fail_after;
    int status;
  } cases[] = {
      // The survey's first entry, a bound, the header, the stop's last byte.
      {1, 0, status_write_failed},
      {1, 200, status_write_failed},
      {1, 260, status_write_failed},
      {1, 388, status_write_failed},
      {1, never, status_data_stopped},
      // The zone (the pixel size is not asked), the pixel size (the raster
      // size is not shown), the raster size.
      {2, 0, status_write_failed},
      {2, 150, status_write_failed},
      {2, 170, status_write_failed},
      {2, 260, status_write_failed},
      {2, never, status_ok},
  };
  for (const auto& c : cases) {
    failing_input in{points, 0, false, 0};
    failing_output out{0, c.fail_after};
    run_files files;
    std::snprintf(files.input.built, sizeof files.input.built, "c:\\images\\site1\\dem.xyz");
    std::snprintf(files.output.built, sizeof files.output.built, "c:\\images\\site1\\north.xyz");
    std::snprintf(files.report.built, sizeof files.report.built, "c:\\images\\site1\\north_xyz_info.txt");
    files.input.stream = fopencookie(&in, "r", {read_some, nullptr, seek, nullptr});
    files.report.stream = fopencookie(&out, "w", {nullptr, write_some, nullptr, nullptr});
    std::setvbuf(files.report.stream, nullptr, _IONBF, 0);
    FILE* typed = std::tmpfile();
    std::fputs(answers, typed);
    std::rewind(typed);
    testing::internal::CaptureStdout();
    int status = status_ok;
    if (c.phase == 1) {
      survey_values s{};
      status = survey_pass(files, s);
    } else {
      // The answers are read from standard input, as the dialogue reads them.
      ASSERT_EQ(dup2(fileno(typed), fileno(stdin)), fileno(stdin));
      std::rewind(stdin);
      zone z{};
      status = zone_selection(files, z);
    }
    const std::string console = testing::internal::GetCapturedStdout();
    std::fclose(typed);
    const std::string where = "phase " + std::to_string(c.phase) + " after " + std::to_string(c.fail_after);
    EXPECT_EQ(status, c.status) << where;
    EXPECT_LE(out.written, c.fail_after) << where;
    if (c.status == status_write_failed) {
      // Said last: nothing is written, shown or asked after it.
      EXPECT_EQ(files.report.stream, nullptr) << where;
      EXPECT_TRUE(console.size() >= std::strlen(said) &&
                  console.compare(console.size() - std::strlen(said), std::string::npos, said) == 0)
          << where << ": " << console;
    } else {
      EXPECT_EQ(console.find("Could not write"), std::string::npos) << where;
      std::fclose(files.report.stream);
    }
    std::fclose(files.input.stream);
  }
}

}  // namespace
