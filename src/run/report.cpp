#include "run/report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "run/dialogue.h"
#include "run/messages.h"
#include "run/run_state.h"
#include "run/written_files.h"

bool report(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n < 0) n = 0;
  if (n >= int(sizeof text)) n = int(sizeof text) - 1;
  for (int i = 0; i < n; ++i) {
    if (text[i] == '\n') std::putc('\r', report_file);
    std::putc(text[i], report_file);
  }
  if (!std::ferror(report_file)) return true;
  int err = errno != 0 ? errno : EIO;
  show(failure::cannot_write, report_path, write_failure_text(report_path, err));
  std::fclose(report_file);
  report_file = nullptr;
  return false;
}
