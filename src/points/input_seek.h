// The one seek of the reader: setting the position of its input to a byte
// of the file, past 2 GiB too. Hosts name the 64-bit seek differently, so
// this is the only file of src/points/ that asks which host it runs on
// (src/points/ includes nothing outside itself, so it cannot ask src/host/).
#pragma once

#include <cstdint>
#include <cstdio>

namespace tessera {

// Sets the position of `file` to byte `at`. False if it could not be set
// (errno then tells why, where the host sets it).
bool seek_input(FILE* file, int64_t at);

}  // namespace tessera
