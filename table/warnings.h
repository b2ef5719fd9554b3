// What a conversion takes on although it may not be what the user meant:
// values that the data file leaves empty (written as 0, or left empty in a
// table), values after the data of a receiver line and values that no column
// takes (ignored), soundings written under a column label that is not
// theirs, and a header count other than the soundings found. Each is a line
// on standard error; with --strict, a stop before the rows file is touched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reader/read_survey.h"
#include "table/column_plan.h"

namespace korvan::table {

struct Warning {
  std::string where;    // "NAME:LINE:COLUMN: " or "NAME: "
  std::string text;     // what the standard-error line says
  std::string message;  // the console message of the stop it makes with --strict

  std::string warning_line() const { return where + "warning: " + text; }
  std::string stop_line() const { return where + text; }
};

// In the order the run reports them, for the data file `name`.
// `empty_becomes` says what the output makes of a value the file leaves
// empty: "written as 0" or "left empty".
std::vector<Warning> find_warnings(const std::string& name, const reader::SurveyNotes& survey, const ColumnPlan& plan,
                                   std::string_view empty_becomes);

// Zero bytes after the compressed data (a tape's last block leaves them):
// passed over with a warning, or the stop they make with --strict.
struct PaddingNotes {
  std::string warning_line;  // "NAME: warning: 2 zero bytes after ..., passed over as padding"
  std::string message;       // the console message of the stop
  std::string stop_line;     // standard error's line of the stop
};
PaddingNotes padding_notes(const std::string& name, std::uint64_t padding);

}  // namespace korvan::table
