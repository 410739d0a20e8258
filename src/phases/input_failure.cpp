#include "phases/input_failure.h"

#include "host/host_reasons.h"
#include "run/dialogue.h"
#include "run/messages.h"

namespace tessera {

int input_read_failed(const watched_input& in, int err) {
  show(failure::cannot_read, in.built, reason_text(err));
  return status_read_failed;
}

}  // namespace tessera
