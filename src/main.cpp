// TESSERA_SIFT: extracts the points of a rectangular zone from an XYZ file.
// No arguments for its work: every run is one dialogue on the console.
#include <cstdio>

#include "host/host_signals.h"
#include "host/host_terminal.h"
#include "run/command_line.h"
#include "run/opening.h"
#include "run/run_end.h"
#include "treatment.h"

using namespace tessera;

int main(int argc, char** argv) {
  if (answer_command_line(argc, argv)) {
    // The usage or the version is the whole answer: a write that failed
    // (a full device) must not look like success.
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? status_ok : status_write_failed;
  }
  console_start();
  signals_start();
  // The run's files, passed down to every phase. Every phase returns its
  // status, and the run ends here, once: with the opening's if it is not
  // status_ok, else with the treatment's.
  run_files files;
  run_outcome outcome{opening(files), false, {}};
  if (outcome.status == status_ok) outcome = treatment(files);
  end_run(files, outcome);
}
