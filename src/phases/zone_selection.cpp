#include "phases/zone_selection.h"

#include "run/dialogue.h"
#include "run/messages.h"
#include "run/report.h"

namespace tessera {

namespace {

// Asks for the zone until some pixel size fits it. Returns status_ok, or
// status_input_ended if standard input ended.
int ask_zone(zone& z) {
  for (;;) {
    int status = ask_number("\n\t\tX_min ? ", z.X_min_extract);
    if (status == status_ok) status = ask_number("\t\tX_max ? ", z.X_max_extract);
    if (status == status_ok) status = ask_number("\t\tY_min ? ", z.Y_min_extract);
    if (status == status_ok) status = ask_number("\t\tY_max ? ", z.Y_max_extract);
    if (status != status_ok) return status;
    if (zone_has_pixel_size(z)) return status_ok;
    refuse_answer(refusal::zone_too_wide);
  }
}

// The pixel size and the raster's lines (along Y) and columns (along X).
struct raster {
  double dpix_size;
  int32_t nb_lig;
  int32_t nb_col;
};

// Asks for the pixel size until it gives counts of 32 bits over `z`.
// Returns status_ok, or status_input_ended if standard input ended.
int ask_pixel_size(const zone& z, raster& r) {
  for (;;) {
    int status = ask_number("\n\n\tPixel Size (decimal value in meters) ? ", r.dpix_size);
    if (status != status_ok) return status;
    if (r.dpix_size == 0.0) {
      refuse_answer(refusal::pixel_zero);
    } else if (!pixel_fits_meters(r.dpix_size)) {
      refuse_answer(refusal::pixel_too_large_for_meters);
    } else if (!raster_count(z.Y_max_extract, z.Y_min_extract, r.dpix_size, r.nb_lig) ||
               !raster_count(z.X_max_extract, z.X_min_extract, r.dpix_size, r.nb_col)) {
      refuse_answer(refusal::pixel_too_small);
    } else {
      return status_ok;
    }
  }
}

// True if the zone's entries were written (see report).
bool report_zone(run_files& files, const zone& z) {
  written_file& to = files.report;
  return report(to, "\n\n\tCoordinates of the selected zone named %s :", files.output.built) &&
         report(to, "\n\t\tX_min = %lf ", z.X_min_extract) && report(to, "\n\t\tX_max = %lf ", z.X_max_extract) &&
         report(to, "\n\t\tY_min = %lf ", z.Y_min_extract) && report(to, "\n\t\tY_max = %lf ", z.Y_max_extract);
}

}  // namespace

int zone_selection(run_files& files, zone& z) {
  show("\n\n\tCoordinates of the zone to be extracted : ");
  int status = ask_zone(z);
  if (status != status_ok) return status;
  if (!report_zone(files, z)) return status_write_failed;

  raster r;
  status = ask_pixel_size(z, r);
  if (status != status_ok) return status;
  int32_t meters = int32_t(r.dpix_size);
  if (!report(files.report, "\n\n\tPixel size : %lf ", r.dpix_size)) return status_write_failed;
  show("\n\n\tFor a pixel size of %d meters, the resulting image", meters);
  show("\n\twill have %d lines and %d columns", r.nb_lig, r.nb_col);
  bool written = report(files.report, "\n\n\tFor a pixel size of %d meters, the resulting image", meters) &&
                 report(files.report, "\n\twill have %d lines and %d columns", r.nb_lig, r.nb_col);
  return written ? status_ok : status_write_failed;
}

}  // namespace tessera
