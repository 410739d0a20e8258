#include "phases/input_failure.h"

#include <cstring>

#include "run/dialogue.h"

int input_read_failed(int err) {
  show("\n\tCould not read %s : %s\n", nom_in, std::strerror(err));
  return status_read_failed;
}
