#include "run/error_text.h"

#include <cstring>

#include "run/platform.h"

const char* reason_text(int err) {
  if (err == not_a_regular_file) return "not a regular file";
  return std::strerror(err);
}
