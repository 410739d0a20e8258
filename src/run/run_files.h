// The files of one run: the input it reads, the files it writes and the
// lock of its output. main makes it and passes it by reference to every
// phase; the opening fills it, the passes read and write through it, and
// end_run (run_end.h) publishes or removes its written files.
//
// A signal handler may read none of it: what a signal removes and says is
// kept by the host layer, recorded as each file is created (host_signals.h).
#pragma once

#include <array>

#include "host/host_files.h"
#include "run/watched_input.h"
#include "run/written_file.h"

namespace tessera {

struct run_files {
  watched_input input;
  written_file output;
  written_file report;
  char lock[host_path_size] = "";  // the file that holds the lock of the output
  bool holding_lock = false;

  // The written files, in the order every loop over them takes: created,
  // closed, published and removed in it, and said unchanged in it. The
  // output comes first and the report last: the report is the run's
  // receipt, so a report that is new always sits beside the output it
  // describes (run_end.cpp).
  static constexpr int written_count = 2;
  std::array<written_file*, written_count> written() { return {&output, &report}; }
  std::array<const written_file*, written_count> written() const { return {&output, &report}; }

  run_files() = default;
  // One run, one set of files: a copy would hold the same streams.
  run_files(const run_files&) = delete;
  run_files& operator=(const run_files&) = delete;
};

}  // namespace tessera
