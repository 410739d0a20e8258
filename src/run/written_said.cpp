#include "run/written_said.h"

#include <cstdio>

#include "points/number_format.h"
#include "run/console.h"
#include "run/messages.h"
#include "run/name_buffers.h"

namespace tessera {

namespace {

// The words of the longest sentence around the path, with two counts of 19
// digits, are under this many bytes.
constexpr int words_max = 128;

}  // namespace

void say_written(const char* output, const points_written& p) {
  char line[path_size + words_max];
  const long long read = p.read;
  if (p.written > 1) {
    std::snprintf(line, sizeof line, said::points_written, static_cast<long long>(p.written), read, output);
  } else if (p.written == 1) {
    std::snprintf(line, sizeof line, said::one_point_written, read, output);
  } else if (p.read > 1) {
    std::snprintf(line, sizeof line, said::none_in_zone, read, output);
  } else {
    std::snprintf(line, sizeof line, p.read == 1 ? said::one_not_in_zone : said::none_read, output);
  }
  show_error_text(line);
  // Nothing was rounded in an output without a point.
  if (p.written != 0 && p.max_decimals > lf_decimals) {
    std::snprintf(line, sizeof line, said::decimals_rounded, static_cast<long long>(p.max_decimals), lf_decimals);
    show_error_text(line);
  }
}

}  // namespace tessera
