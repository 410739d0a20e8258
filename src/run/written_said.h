// What a run whose files were published says of its output, on standard
// error: how many points the output holds of those read, and whether the
// output rounded the decimals typed in the input. Standard output, the
// console dialogue, stays as it is.
#pragma once

#include <cstdint>

namespace tessera {

struct points_written {
  int64_t written;       // records written to the output
  int64_t read;          // records read from the input
  int64_t max_decimals;  // the most decimals typed in an X, Y or Z of the input
};

// Says it of the output whose built path is `output` (messages.h,
// namespace said).
void say_written(const char* output, const points_written& p);

}  // namespace tessera
