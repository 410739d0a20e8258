// What the survey and extraction passes share: counting records with a
// progress line every 100000.
#pragma once

#include <cstdint>

namespace tessera {

constexpr int64_t progress_every = 100000;

// Shows the progress line with the count so far; null shows nothing.
using progress_fn = void (*)(int64_t record_count);

// The records counted so far in a pass, calling `show` at every multiple
// of progress_every.
struct pass_count {
  progress_fn show;
  int64_t record_count = 0;
  int64_t next_progress = progress_every;
  void add() {
    if (++record_count == next_progress) {
      if (show != nullptr) show(record_count);
      next_progress += progress_every;
    }
  }
  // Counts `n` records at once, showing every multiple passed on the way.
  void add_many(int64_t n) {
    record_count += n;
    for (; record_count >= next_progress; next_progress += progress_every) {
      if (show != nullptr) show(next_progress);
    }
  }
};

}  // namespace tessera
