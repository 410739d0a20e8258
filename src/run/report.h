// The report written beside the output point file: a sequence of entries,
// each one formatted write, every line feed stored as CR LF.
#pragma once

#include "run/written_file.h"

namespace tessera {

// The credit that ends the report.
constexpr const char* report_credit = "\n\n\t\t\tThe TESSERA_SIFT contributors (2026)";

// Writes one entry to the report `to`. True if it was written; false,
// having said why the write failed and closed the stream, and the run then
// ends with status_write_failed: the caller writes, shows and asks nothing
// more and returns that status.
bool report(written_file& to, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tessera
