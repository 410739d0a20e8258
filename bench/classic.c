/* The classic implementation of the same dialogue, written plainly with
   fscanf and fprintf: the baseline the benchmark compares against. It reads
   its answers from standard input and writes the same output file. */
#include <stdio.h>
#include <string.h>

int main(void) {
  char nomdir[64], nomfic[64], nom_in[128] = "images/", nom_out[128], nom_info[128];
  double X, Y, Z, X_min = 10000000.0, Y_min = 10000000.0, Z_min = 10000000.0;
  double X_max = 0.0, Y_max = 0.0, Z_max = 0.0;
  double X_min_extract, X_max_extract, Y_min_extract, Y_max_extract, dpix_size;
  long ico = 0;
  FILE *f1, *f2, *f6;

  if (scanf("%63s", nomdir) != 1) return 1;
  strcat(nom_in, nomdir);
  strcat(nom_in, "/");
  strcpy(nom_out, nom_in);
  if (scanf("%63s", nomfic) != 1) return 1;
  strcat(nom_in, nomfic);
  strcat(nom_in, ".xyz");
  if (scanf("%63s", nomfic) != 1) return 1;
  strcat(nom_out, nomfic);
  strcpy(nom_info, nom_out);
  strcat(nom_out, ".xyz");
  strcat(nom_info, "_xyz_info.txt");
  f1 = fopen(nom_in, "r");
  if (f1 == NULL) return 1;
  f2 = fopen(nom_out, "w");
  f6 = fopen(nom_info, "w");
  if (f2 == NULL || f6 == NULL) return 1;

  while (fscanf(f1, "%lf %lf %lf", &X, &Y, &Z) == 3) {
    if (++ico % 100000 == 0) printf("\trecord %ld                    \r    ", ico);
    if (X > X_max) X_max = X;
    if (X < X_min) X_min = X;
    if (Y > Y_max) Y_max = Y;
    if (Y < Y_min) Y_min = Y;
    if (Z > Z_max) Z_max = Z;
    if (Z < Z_min) Z_min = Z;
  }
  printf("\n\n\tX_min = %lf X_max = %lf ", X_min, X_max);
  printf("\n\tY_min = %lf Y_max = %lf ", Y_min, Y_max);
  printf("\n\tZ_min = %lf Z_max = %lf ", Z_min, Z_max);
  fprintf(f6, "\r\n\t\tNumber of records : %ld \r\n", ico);

  if (scanf("%lf %lf %lf %lf %lf", &X_min_extract, &X_max_extract, &Y_min_extract, &Y_max_extract,
            &dpix_size) != 5)
    return 1;
  printf("\n\twill have %d lines and %d columns", (int)((long double)(Y_max_extract - Y_min_extract) / dpix_size),
         (int)((long double)(X_max_extract - X_min_extract) / dpix_size));

  rewind(f1);
  ico = 0;
  while (fscanf(f1, "%lf %lf %lf", &X, &Y, &Z) == 3) {
    if (++ico % 100000 == 0) printf("\trecord %ld                    \r    ", ico);
    if (X_min_extract <= X && X <= X_max_extract && Y_min_extract <= Y && Y <= Y_max_extract)
      fprintf(f2, "%lf %lf %lf\r\n", X, Y, Z);
  }
  fclose(f1);
  fclose(f2);
  fclose(f6);
  return 0;
}
