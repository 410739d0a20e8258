// What each room of the record reader's tiers 2 to 4 offers it (see
// record_reader.cpp for the tiers); they see of the reader only its
// tier_context (record_reader.h). Private to the reader:
// record_reader.cpp, reader_fast_tiers.cpp and reader_general.cpp include
// it.
#pragma once

#include <string>

#include "points/record_reader.h"

namespace tessera::detail {

// Takes a record of three values read from the text.
inline void take_values(tier_context& c, const double (&values)[3]) {
  ++c.tally.records;
  c.record.text = nullptr;
  c.record.values[0] = values[0];
  c.record.values[1] = values[1];
  c.record.values[2] = values[2];
}

// reader_fast_tiers.cpp: tiers 2 and 3.

// What tiers 2 and 3 did with the record at the reader's position.
enum class fast_read {
  learnt,    // tier 2 learnt its layout (in `shape` and the record's shapes): take it as tier 1 does
  taken,     // tier 3 took it
  declined,  // neither: the general scanner reads it
};
// Tier 2, learning the record's layout for tier 1; then tier 3 if it
// declines.
fast_read read_by_masks(tier_context& c, record_shape& shape);
// Tier 3 alone: true if it took the record.
bool read_by_numbers(tier_context& c);
// Line and delimited layouts, for the tiers that read a line in the block:
// the rest of a line whose third number ends at p. Finds its extra columns
// (in the record's parts) and where the next line begins; false if the
// line goes on beyond the block, or if what follows the third number
// cannot follow it (left to the general scanner to say).
bool line_rest(tier_context& c, const char* p, const char*& next);

// reader_columns.cpp: the layouts by the header's names (file_layout::by_names).

// Their fast tier: a line that lies whole in the block, its X, Y and Z
// plain numbers within tier 2's limits; a line laid out like the one it
// learnt (`shape`) is taken by its pattern. True if it took the line; it
// declines anything else, untouched, to the general scanner.
bool read_by_columns(tier_context& c, general_state& g, record_shape& shape);
// Their general scanner: X, Y and Z from their columns, the other columns
// the line's extra columns, in the file's order.
read_status general_columns(tier_context& c, general_state& g, pass_end& e);

// reader_general.cpp: tier 4, and the stops.

// For general_columns: moves to the next line that may hold a record (past
// blank lines, comments and the header again, counted), and reads its text
// from its first non-blank character to its line feed into `line`, at
// offset `line_at`. False where the data end, a read fails or the line is
// longer than line_text_max: `end` then says which, and the pass ended.
bool next_line_text(tier_context& c, general_state& g, pass_end& e, std::string& line, int64_t& line_at,
                    read_status& end);
// Stops the pass at text that is not a number, at cleaned offset `at`.
read_status stop_at_text(tier_context& c, pass_end& e, int64_t at);
// Stops the pass at a line, at `line_at`, that holds only `columns` columns.
read_status stop_short(tier_context& c, pass_end& e, int64_t line_at, int columns);

// Tier 4, the general scanner: reads the next record, refilling the block
// as it goes, and skips the lines that hold none. Where the data end or
// stop, ends the pass in `end` and says why.
read_status read_general(tier_context& c, general_state& g, pass_end& end);

}  // namespace tessera::detail
