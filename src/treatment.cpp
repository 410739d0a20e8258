#include "treatment.h"

#include "points/extraction.h"
#include "points/survey.h"
#include "points/zone.h"

void treatment() {
  survey_values survey;
  survey_pass(survey);
  zone z;
  zone_selection(z);
  extraction_pass(z, survey);
}
