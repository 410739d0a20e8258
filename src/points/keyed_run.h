// What the keyed fast tier (reader_keyed_tier.h) keeps: the plan of the
// digits of a learnt layout, and what a run of records of that layout gives
// the survey. Kept apart so that record_reader.h can hold a plan.
#pragma once

#include <cstdint>

namespace tessera {

// A run of consecutive records read by the keyed tier: how many, and the
// least and greatest X, Y and Z among them, as the records' own doubles.
struct keyed_bounds {
  int64_t records = 0;
  double lo[3] = {};
  double hi[3] = {};
};

namespace detail {

// How the keyed tier reads the three numbers of a record of a learnt
// layout, whose numbers each have one shape (sign, integer digits,
// decimals) in every record that matches it: for each, where its 16-byte
// window starts in the record, the byte shuffle that puts its digits, the
// point left out, at the end of 16 lanes (lanes before them read 0), its
// sign and its decimals.
struct keyed_plan {
  bool usable = false;
  int8_t shuffle[3][16] = {};
  int first[3] = {};
  bool negative[3] = {};
  int decimals[3] = {};
};

}  // namespace detail

}  // namespace tessera
