// A read error in either pass ends the run with status 5, whose files are
// never published. The input is a stream that fails once a given number of
// bytes has been read, armed for the survey or for the extraction.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "phases/extraction_pass.h"
#include "phases/survey_pass.h"
#include "run/run_end.h"
#include "run/run_files.h"

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

}  // namespace
