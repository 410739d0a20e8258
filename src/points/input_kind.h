// What an input file is, told before it is read as points: a compressed or
// binary file (by the signature its first bytes hold, or by a 0 byte before
// its first point), or text.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tessera {

enum class input_kind { text, gzip, zip, bzip2, xz, zstd, seven_zip, las, zero_byte };

struct input_check {
  input_kind kind;
  int64_t zero_line;  // for zero_byte: the line of the first 0 byte, from 1
};

// How many bytes from the start of a file are looked at for a 0 byte. A
// binary file shows one at once; a text file's first point lies well within
// them (a 0 byte further on stops the reading like any text that is not a
// number).
constexpr int input_head_size = 1 << 16;

// Tells what `f` is from its first bytes. A 0 byte counts when it comes
// before the end of the first point, or when no point can be read at all.
// A file of UTF-16 text with its byte-order mark is judged by the text it
// holds. (A 0 byte in the lines before the first point beyond these bytes
// is found by the reader that decides the layout: record_reader::
// zero_byte_line.) Uses the point reader's block; the passes read the file from its
// start again.
input_check check_input(FILE* f);

}  // namespace tessera
