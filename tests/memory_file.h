// A temporary file made from bytes, for the tests that read through a FILE*.
#pragma once

#include <cstdio>
#include <string>

namespace tessera {

// A temporary file holding `bytes`, at its start; removed when closed.
inline FILE* file_of(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

}  // namespace tessera
