#include "treatment.h"

#include "phases/extraction_pass.h"
#include "phases/survey_pass.h"
#include "phases/zone_selection.h"
#include "run/report.h"

namespace tessera {

run_outcome treatment(run_files& files) {
  survey_values survey;
  int status = survey_pass(files, survey);
  if (!points_were_used(status)) return {status, false, {}};
  // An empty output, or a decimal-comma file's points, must not replace the
  // earlier one.
  if (publishes_nothing(survey)) return {status, false, {}};
  zone z;
  int asked = zone_selection(files, z);
  if (asked != status_ok) return {asked, false, {}};
  int64_t written = 0;
  status = graver_status(status, extraction_pass(files, z, survey, written));
  // The report ends with its credit, after every entry of the phases.
  if (points_were_used(status) && !report(files.report, "%s", report_credit)) status = status_write_failed;
  return {status, true, {written, survey.record_count, survey.max_decimals}};
}

}  // namespace tessera
