#include "run/report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace tessera {

bool report(written_file& to, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n < 0) n = 0;
  if (n >= int(sizeof text)) n = int(sizeof text) - 1;
  for (int i = 0; i < n; ++i) {
    if (text[i] == '\n') std::putc('\r', to.stream);
    std::putc(text[i], to.stream);
  }
  if (!std::ferror(to.stream)) return true;
  say_write_failed(to, errno != 0 ? errno : EIO);
  std::fclose(to.stream);
  to.stream = nullptr;
  return false;
}

}  // namespace tessera
