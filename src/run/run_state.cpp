#include "run/run_state.h"

FILE* f1 = nullptr;
FILE* f2 = nullptr;
FILE* f6 = nullptr;

char nomdir[name_size];
char nomfic[name_size];
char nom_in[path_size];
char nom_out[path_size];
char nom_info[path_size];
