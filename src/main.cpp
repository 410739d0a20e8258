// TESSERA_SIFT: extracts the points of a rectangular zone from an XYZ file.
// No arguments: every run is one dialogue on the console.
#include "run/opening.h"
#include "run/platform.h"
#include "run/run_end.h"
#include "treatment.h"

int main() {
  console_start();
  opening();
  treatment();
  end_run(run_status);
}
