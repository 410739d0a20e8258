#include "run/error_text.h"

#include "run/platform.h"

const char* reason_text(int err) {
  if (err == not_a_regular_file) return "not a regular file";
  if (err == in_use_by_another_program) return "in use by another program";
  return error_text(err);
}
