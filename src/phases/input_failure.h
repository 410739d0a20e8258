// What both passes say when the input cannot be read.
#pragma once

#include "run/watched_input.h"

namespace tessera {

// Says that the input `in` could not be read and why; returns
// status_read_failed.
int input_read_failed(const watched_input& in, int err);

}  // namespace tessera
