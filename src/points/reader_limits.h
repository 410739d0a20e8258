// The limits of the record reader's fast tiers and of the copy of a
// record's digits to the output, each with the reason it holds; and how far
// each path reads past its position, checked against the block's padding
// (reader_look_ahead, reader_block.h). A fast path that meets anything
// beyond these declines to the next tier (see record_reader.cpp). Private
// to the reader.
#pragma once

#include "points/number_scan.h"
#include "points/powers_of_ten.h"
#include "points/reader_block.h"

namespace tessera::detail {

// Tier 2: at most 15 digits, so that the digits are below 2^53 and the
// converter always takes its one-division path.
constexpr int shape_digits_max = 15;
// Tier 2: the decimals are read by one 8-byte load.
constexpr int shape_decimals_max = 8;
static_assert(powers_of_ten[shape_digits_max] <= exact_digits_max && shape_decimals_max <= exact_power_max,
              "a known shape always suits the converter's exact step (record_view::value)");
// Tier 3: the integer digits are read by two 8-byte loads; eight digits in
// the second may go on, and are left to the general scanner.
constexpr int numbers_whole_max = 15;
// Tier 3: the digits kept by the grammar, which fit a 64-bit integer: with
// no more than these, the digits are exactly those the general scanner keeps.
constexpr int numbers_digits_max = kept_digits;
// Tier 3: the decimals and the character after them are read by one 8-byte
// load; eight digits in it may go on, and are left to the general scanner.
constexpr int numbers_decimals_max = 7;
// Copy: a number of at most 9 integer digits and at most 6 decimals prints
// under "%lf" as its own digits, padded to six decimals: the double read from
// it lies within half a unit in the last place, below 2.4e-7 under 2^32, of
// the decimal, so rounding it to 10^-6 gives the decimal back.
constexpr int copy_whole_max = 9;
constexpr int copy_decimals_max = 6;

// The width of the windows of tiers 1 and 2: the bits of one 64-bit mask.
constexpr int window = 64;

// How far each path reads, counted in bytes from a position at or before
// the end of the data.
//   tiers 1 and 2: the window from the record's first byte;
constexpr int window_read = window;
//   tier 3: from a number's first byte, a sign, two 8-byte loads of integer
//   digits (at most numbers_whole_max, 15: 8 then 7), the point at byte 16,
//   then one 8-byte load of decimals and the byte after them: bytes 0 to
//   24, 25 bytes;
constexpr int numbers_read = 1 + 8 + 8 + 8;
//   copy: 16 bytes from the first integer digit, which lies before the
//   point, before the window's last byte (63): bytes 0 to 77 of the record.
constexpr int copy_read = (window - 2) + 16;
//   keyed tier (reader_keyed_tier.h): 16 bytes from a number's first digit,
//   which lies before the window's last byte, as the copy reads;
constexpr int keyed_read = (window - 2) + 16;
//   the end of a line (record_reader::take_line): 32 bytes from the third
//   number's delimiter, which lies in the data; extra columns: extras_readable
//   bytes from their first, in the data or at its end.
constexpr int line_end_read = 32;
static_assert(numbers_whole_max == 8 + 7 && numbers_decimals_max == 7, "tier 3 reads as numbers_read says");
static_assert(line_end_read <= reader_look_ahead && extras_readable <= reader_look_ahead,
              "the line's end and its columns are read within the look-ahead");
static_assert(window_read <= reader_look_ahead && numbers_read <= reader_look_ahead && copy_read <= reader_look_ahead &&
                  keyed_read <= reader_look_ahead,
              "every path reads within the look-ahead");
// The fast tiers take a line only when it lies whole in the block: the
// general scanner, which stops at a line longer than line_text_max, must
// never stop at a line they take.
static_assert(line_text_max >= size_t(input_block_size), "a line the block holds is never too long");

}  // namespace tessera::detail
