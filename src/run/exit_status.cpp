#include "run/exit_status.h"

int graver_status(int a, int b) {
  auto rank = [](int status) {
    if (status == status_ok) return 0;
    if (status == status_columns_shifted) return 1;
    if (status == status_data_stopped) return 2;
    return 3;
  };
  return rank(b) > rank(a) ? b : a;
}

bool points_were_used(int status) {
  return status == status_ok || status == status_data_stopped || status == status_columns_shifted;
}
