// What differs between two surveys of a file, bit for bit, the zone map's
// stretches included. For the unit tests and the fuzz targets alike.
#pragma once

#include <cstring>
#include <string>

#include "points/survey.h"

namespace tessera {

// "" if nothing differs.
inline std::string survey_difference(const survey_values& a, const survey_values& b) {
  const double x[6] = {a.X_min, a.X_max, a.Y_min, a.Y_max, a.Z_min, a.Z_max};
  const double y[6] = {b.X_min, b.X_max, b.Y_min, b.Y_max, b.Z_min, b.Z_max};
  if (a.record_count != b.record_count) return "counts";
  if (std::memcmp(x, y, sizeof x) != 0) return "bounds";
  if (a.end != b.end || a.end_offset != b.end_offset || a.max_decimals != b.max_decimals) return "ends";
  if (a.map.stretches().size() != b.map.stretches().size()) return "stretch counts";
  for (size_t i = 0; i < a.map.stretches().size(); ++i) {
    const stretch& s = a.map.stretches()[i];
    const stretch& t = b.map.stretches()[i];
    if (std::memcmp(&s.X_min, &t.X_min, 4 * sizeof(double)) != 0 || s.end.records != t.end.records ||
        s.end.block_at != t.end.block_at || s.end.in_block != t.end.in_block || s.always_read != t.always_read) {
      return "stretch " + std::to_string(i);
    }
  }
  return "";
}

}  // namespace tessera
