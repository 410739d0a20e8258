// What the survey and extraction passes share: counting records with a
// progress line every 100000.
#pragma once

#include <cstdint>

constexpr int64_t progress_every = 100000;

// Shows the progress line with the count so far; null shows nothing.
using progress_fn = void (*)(int64_t ico);

// The records counted so far in a pass, calling `show` at every multiple
// of progress_every.
struct pass_count {
  progress_fn show;
  int64_t ico = 0;
  int64_t next_progress = progress_every;
  void add() {
    if (++ico == next_progress) {
      if (show != nullptr) show(ico);
      next_progress += progress_every;
    }
  }
};
