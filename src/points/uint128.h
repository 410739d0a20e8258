// The 128-bit unsigned integer of GCC and Clang, for exact products and
// quotients of 64-bit values.
#pragma once

namespace tessera {

__extension__ typedef unsigned __int128 u128;

}  // namespace tessera
