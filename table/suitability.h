// The column-layout suitability checks: the data fit one row layout only if
// every sounding has the same number of frequencies, each frequency position
// the same number of transmitters, and every transmitter one receiver.
#pragma once

#include "reader/read_survey.h"

namespace korvan::table {

// Stops with the not-suitable message of the first check that fails, in the
// checks' fixed order, as the reading found it.
void check_suitability(const reader::SurveyNotes& survey);

}  // namespace korvan::table
