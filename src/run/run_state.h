// The run state shared by every phase: the three streams and the five name
// buffers. It lives at file scope for the whole run; `opening` fills it.
// How a run ends, with which status, is in run_end.h.
//
// The short names kept from the tool's first version, where a longer name
// would say no more: X_min .. Z_max (the survey's bounds, from the start
// values 10000000.0 and 0.0), X_min_extract .. Y_max_extract (the zone as
// answered, not ordered, not clipped), dpix_size (the pixel size in meters),
// nb_lig and nb_col (the raster's lines along Y and columns along X).
#pragma once

#include <cstdio>

// The phases that include the run state return one of these statuses.
#include "run/exit_status.h"

constexpr int name_size = 64;   // an answer: 63 characters and the terminator
constexpr int path_size = 128;  // a full path: 127 characters and the terminator

extern FILE* input_file;   // the input point file, read twice (survey, extraction)
extern FILE* output_file;  // the output point file, written into its temporary file until the run completes
extern FILE* report_file;  // the report file, likewise

extern char folder_answer[name_size];  // the folder answer (under c:\images\)
extern char file_answer[name_size];    // the input-name answer, then the output-name answer
extern char input_path[path_size];     // the built path of the input: c:\images\<folder>\<name>.xyz
extern char output_path[path_size];    // the built path of the output, <name>.xyz
extern char report_path[path_size];    // the built path of the report, <name>_xyz_info.txt
