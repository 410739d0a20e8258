#include "points/input_seek.h"

namespace tessera {

bool seek_input(FILE* file, int64_t at) {
#ifdef _WIN32
  return _fseeki64(file, at, SEEK_SET) == 0;
#else
  return fseeko(file, off_t(at), SEEK_SET) == 0;
#endif
}

}  // namespace tessera
