// The first phase of every run: the banner, the three names, the three
// paths, the three files and the report's first entries.
#pragma once

// Fills the whole run state, or ends the program.
void opening();
