// Where a header puts X, Y and Z, from its names alone: a pure function of
// the header's text, cut as the data lines are (at a separator, or at
// blanks). A name is compared without the blanks and one pair of double
// quotes around it, without a unit in brackets after it (`Z [m]`,
// `"Height (m)"`) and the marks around it (`/x`), in any case:
//   X  x, lon, long, longitude, east, easting, e, rechtswert
//   Y  y, lat, latitude, north, northing, n, hochwert
//   Z  z, alt, altitude, elev, elevation, height, h, hoehe, höhe
// The first column of each name counts. When X and Y are named but no Z
// (`lon lat depth`), Z is the first other column.
#pragma once

#include <string_view>

namespace tessera {

enum class named_axes {
  none,       // neither X nor Y is named: the columns are taken as they come
  found,      // X, Y and Z are named (Z perhaps as the first other column)
  missing_x,  // Y is named, X is not
  missing_y,  // X is named, Y is not
};

struct header_columns {
  named_axes axes;
  int xyz[3];  // found: the columns of X, Y and Z, from 0
  int names;   // the header's names (an empty last one after a separator is nothing)
};

// The columns the header `h` names, cut at `sep` (0: at blanks).
header_columns columns_named(std::string_view h, char sep);

// The names a message gives for X (axis 0) or Y (axis 1): "x, lon, ... or rechtswert".
const char* axis_names(int axis);

}  // namespace tessera
