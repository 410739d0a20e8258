// The run state shared by every phase: the three streams and the five name
// buffers. It lives at file scope for the whole run; `opening` fills it.
// How a run ends, with which status, is in run_end.h.
#pragma once

#include <cstdio>

// The phases that include the run state end a run through run_end.h.
#include "run/run_end.h"

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
