#include "run/written_file.h"

#include "host/host_reasons.h"
#include "run/dialogue.h"
#include "run/messages.h"

namespace tessera {

const char* write_failure_text(const written_file& f, int err) { return reason_text(write_failure(f.temp, err)); }

void say_write_failed(const written_file& f, int err) {
  show(failure::cannot_write, f.built, write_failure_text(f, err));
}

void say_unchanged(const written_file& f) { show(failure::unchanged, f.built); }

}  // namespace tessera
