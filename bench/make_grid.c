/* Writes a deterministic elevation grid in XYZ text: rows x cols points at
   1 m spacing from X 2600000.5, Y 1200000.5, two decimals, blank separated,
   line feed endings. Usage: make_grid ROWS COLS FILE [FORM]
   FORM is xyz (the default), rgb (the same points followed by three colour
   columns, X Y Z R G B), comma (the same points as X,Y,Z) or named (the same
   points under the header id,Z,Y,X,code, a number and a code around them). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    fprintf(stderr, "usage: make_grid ROWS COLS FILE [xyz|rgb|comma|named]\n");
    return 2;
  }
  long rows = atol(argv[1]);
  long cols = atol(argv[2]);
  const char* form = argc == 5 ? argv[4] : "xyz";
  FILE* f = fopen(argv[3], "wb");
  if (f == NULL) {
    perror(argv[3]);
    return 1;
  }
  if (strcmp(form, "named") == 0) fputs("id,Z,Y,X,code\n", f);
  for (long r = 0; r < rows; ++r) {
    for (long c = 0; c < cols; ++c) {
      /* A smooth surface with a deterministic roughness, in hundredths. */
      long z = 40000 + (r * 37 + c * 11) % 9000 + (r * 7919 + c * 104729) % 97;
      if (strcmp(form, "rgb") == 0) {
        fprintf(f, "%ld.50 %ld.50 %ld.%02ld %ld %ld %ld\n", 2600000 + c, 1200000 + r, z / 100, z % 100,
                (r * 3 + c) % 256, (c * 5) % 256, z % 256);
      } else if (strcmp(form, "named") == 0) {
        fprintf(f, "%ld,%ld.%02ld,%ld.50,%ld.50,%s\n", r * cols + c + 1, z / 100, z % 100, 1200000 + r, 2600000 + c,
                z % 2 == 0 ? "G" : "V");
      } else if (strcmp(form, "comma") == 0) {
        fprintf(f, "%ld.50,%ld.50,%ld.%02ld\n", 2600000 + c, 1200000 + r, z / 100, z % 100);
      } else {
        fprintf(f, "%ld.50 %ld.50 %ld.%02ld\n", 2600000 + c, 1200000 + r, z / 100, z % 100);
      }
    }
  }
  if (fclose(f) != 0) {
    perror(argv[3]);
    return 1;
  }
  return 0;
}
