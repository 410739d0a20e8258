#include "run/report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "run/run_end.h"
#include "run/run_state.h"

void report(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n < 0) n = 0;
  if (n >= int(sizeof text)) n = int(sizeof text) - 1;
  for (int i = 0; i < n; ++i) {
    if (text[i] == '\n') std::putc('\r', f6);
    std::putc(text[i], f6);
  }
  if (std::ferror(f6)) write_failed(f6, nom_info, errno != 0 ? errno : EIO);
}
