#include "phases/zone_selection.h"

#include "run/dialogue.h"
#include "run/messages.h"
#include "run/report.h"

void zone_selection(zone& z) {
  show("\n\n\tCoordinates of the zone to be extracted : ");
  for (;;) {
    z.X_min_extract = ask_number("\n\t\tX_min ? ");
    z.X_max_extract = ask_number("\t\tX_max ? ");
    z.Y_min_extract = ask_number("\t\tY_min ? ");
    z.Y_max_extract = ask_number("\t\tY_max ? ");
    if (zone_has_pixel_size(z)) break;
    refuse_answer(refusal::zone_too_wide);
  }
  report("\n\n\tCoordinates of the selected zone named %s :", output_path);
  report("\n\t\tX_min = %lf ", z.X_min_extract);
  report("\n\t\tX_max = %lf ", z.X_max_extract);
  report("\n\t\tY_min = %lf ", z.Y_min_extract);
  report("\n\t\tY_max = %lf ", z.Y_max_extract);

  double dpix_size;
  int32_t nb_lig;
  int32_t nb_col;
  int32_t meters;
  for (;;) {
    dpix_size = ask_number("\n\n\tPixel Size (decimal value in meters) ? ");
    if (dpix_size == 0.0) {
      refuse_answer(refusal::pixel_zero);
    } else if (!pixel_fits_meters(dpix_size)) {
      refuse_answer(refusal::pixel_too_large_for_meters);
    } else if (!raster_count(z.Y_max_extract, z.Y_min_extract, dpix_size, nb_lig) ||
               !raster_count(z.X_max_extract, z.X_min_extract, dpix_size, nb_col)) {
      refuse_answer(refusal::pixel_too_small);
    } else {
      break;
    }
  }
  meters = int32_t(dpix_size);
  report("\n\n\tPixel size : %lf ", dpix_size);
  show("\n\n\tFor a pixel size of %d meters, the resulting image", meters);
  show("\n\twill have %d lines and %d columns", nb_lig, nb_col);
  report("\n\n\tFor a pixel size of %d meters, the resulting image", meters);
  report("\n\twill have %d lines and %d columns", nb_lig, nb_col);
}
