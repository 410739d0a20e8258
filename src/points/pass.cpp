#include "points/pass.h"

#include "run/dialogue.h"

void input_read_failed(int err) {
  show("\n\tCould not read %s : %s\n", nom_in, reason_text(err));
  end_run(status_read_failed);
}
