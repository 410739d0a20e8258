// The run state shared by every phase: the three streams and the five name
// buffers. It lives at file scope for the whole run; `opening` fills it.
// How a run ends, with which status, is in run_end.h.
//
// Glossary of the short names the code keeps (they are the names users and
// earlier versions of this tool know; "nom" is French for name, "fic" for
// file, "dir" for folder):
//   f1             the input point file, read twice (survey, extraction)
//   f2             the output point file, the points inside the zone
//   f6             the report file, beside the output
//   nomdir         the folder answer (under c:\images\)
//   nomfic         the input-name answer, then the output-name answer
//   nom_in         the built path of the input: c:\images\<nomdir>\<name>.xyz
//   nom_out        the built path of the output, <name>.xyz
//   nom_info       the built path of the report, <name>_xyz_info.txt
//   ico            a pass's count of records read so far
//   X_min .. Z_max the survey's bounds (start values 10000000.0 and 0.0)
//   X_min_extract .. Y_max_extract
//                  the zone, as answered (not ordered, not clipped)
//   dpix_size      the pixel size in meters
//   nb_lig, nb_col the raster's lines (along Y) and columns (along X)
//   opening        the first phase: banner, names, paths, files
//   treatment      the three processing phases: survey, zone, extraction
#pragma once

#include <cstdio>

// The phases that include the run state return one of these statuses.
#include "run/exit_status.h"

constexpr int name_size = 64;   // an answer: 63 characters and the terminator
constexpr int path_size = 128;  // a full path: 127 characters and the terminator

extern FILE* f1;  // input point file, read
extern FILE* f2;  // output point file, written (into its temporary file until the run completes)
extern FILE* f6;  // report file, written (likewise)

extern char nomdir[name_size];
extern char nomfic[name_size];
extern char nom_in[path_size];
extern char nom_out[path_size];
extern char nom_info[path_size];
