#include "run/exit_status.h"

namespace tessera {

int graver_status(int a, int b) {
  auto rank = [](int status) {
    if (status == status_ok) return 0;
    if (status == status_data_stopped) return 1;
    return 2;
  };
  return rank(b) > rank(a) ? b : a;
}

bool points_were_used(int status) {
  return status == status_ok || status == status_data_stopped;
}

}  // namespace tessera
