#include "run/run_state.h"

FILE* input_file = nullptr;
FILE* output_file = nullptr;
FILE* report_file = nullptr;

char folder_answer[name_size];
char file_answer[name_size];
char input_path[path_size];
char output_path[path_size];
char report_path[path_size];
