#include "run/run_state.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

FILE* f1 = nullptr;
FILE* f2 = nullptr;
FILE* f6 = nullptr;

char nomdir[name_size];
char nomfic[name_size];
char nom_in[path_size];
char nom_out[path_size];
char nom_info[path_size];

int run_status = status_ok;

namespace {

// Closes one written stream; on failure says which file and why.
bool close_written(FILE*& f, const char* name) {
  if (f == nullptr) return true;
  bool ok = std::fflush(f) == 0 && !std::ferror(f);
  int err = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  f = nullptr;
  if (!ok) {
    std::printf("\n\tCould not write %s : %s\n", name, std::strerror(err));
  }
  return ok;
}

}  // namespace

void write_failed(FILE*& f, const char* name, int err) {
  std::printf("\n\tCould not write %s : %s\n", name, std::strerror(err));
  std::fclose(f);
  f = nullptr;
  end_run(status_write_failed);
}

void end_run(int status) {
  bool ok = close_written(f2, nom_out);
  ok = close_written(f6, nom_info) && ok;
  if (f1 != nullptr) {
    std::fclose(f1);
    f1 = nullptr;
  }
  if (!ok && (status == status_ok || status == status_data_stopped || status == status_columns_shifted)) {
    status = status_write_failed;
  }
  std::fflush(stdout);
  std::exit(status);
}
