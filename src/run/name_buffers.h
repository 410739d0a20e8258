// The fixed buffers of a run's names: an answer and a built path each have
// a ceiling, so memory does not grow with what is typed.
#pragma once

namespace tessera {

constexpr int name_size = 64;   // an answer: 63 characters and the terminator
constexpr int path_size = 128;  // a built path: 127 characters and the terminator

}  // namespace tessera
