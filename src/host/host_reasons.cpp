#include "host/host_reasons.h"

#include <cstring>

namespace tessera {

const char* reason_text(int code) {
  const int row = host_reason_index(code);
  return row >= 0 ? host_reasons[row].text : std::strerror(code);
}

}  // namespace tessera
