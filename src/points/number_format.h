// Writes a double exactly as the "%lf" conversion of printf does: fixed-point
// notation, six decimals, correctly rounded from the exact binary value (an
// exact tie goes to the even digit), a minus sign for every negative value,
// negative zero included.
#pragma once

namespace tessera {

// The decimals "%lf" writes.
constexpr int lf_decimals = 6;
// The longest text: a sign, 309 integer digits, the point and six decimals.
constexpr int lf_text_max = 320;

// Writes the text of `v` at `out` (which has room for lf_text_max bytes) and
// returns the position after it. No terminator is written.
char* format_lf(char* out, double v);

}  // namespace tessera
