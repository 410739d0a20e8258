// The keyed fast tier of the record reader (see record_reader.cpp): for the
// survey, a run of records laid out like the one tier 2 learnt is read at
// once. Each record is checked by tier 1's pattern; its three numbers become
// order-preserving integer keys by vector shuffles and multiply-adds (the
// decimals are those of the layout, the same in every record of the run),
// and the least and greatest key of each coordinate are kept without a
// branch. When the run ends (a record that does not match, the block's
// end, the limit asked), only those keys are turned into doubles by the
// converter's exact step, as record_view does for each record: the same
// bits as every record converted, since a greater key is a greater value
// for the run's fixed sign and decimals. A record it does not match is
// left, from its first byte, to tiers 1 to 4.
//
// The tier is built for the processor levels of cpu_level.h: with AVX2 two
// numbers share a 256-bit register, with SSE4.1 each has one; at none
// (other processors, the Windows build) the survey reads by tiers 1 to 4
// alone. Private to the reader.
#pragma once

#include "points/keyed_run.h"
#include "points/record_reader.h"

namespace tessera::detail {

// The plan of a layout tier 2 learnt (`l`, with the shapes of its numbers);
// not usable when the layout's line goes on after its third number.
keyed_plan plan_keys(const record_shape& l, const number_shape (&shapes)[3]);

// Reads at most `limit` records from `s` while they match `l`, into `run`
// (records 0 if the first does not); moves `s` past them.
void read_keyed(const char*& s, const record_shape& l, const keyed_plan& p, int64_t limit, keyed_bounds& run);

}  // namespace tessera::detail
