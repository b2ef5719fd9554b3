// Random surveys whose values are known: every value is drawn as a decimal,
// written in a randomly drawn legal layout (entries spread over several
// lines, blank lines, comments, repeat counts, nulls, every exponent form,
// tabs, commas, CR LF, quoted and bare letters in either case), and
// remembered as the numbers it means, worked out by the standard library
// from the decimal alone. The conversion's outputs are judged against these,
// never against another way of reading the file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvan::testing {

// What one field of the table should hold.
struct KnownField {
  bool empty = false;  // nothing in the file: a null, a slash, a component the sounding lacks
  double exact = 0;    // the double nearest the decimal written (coordinates)
  float single = 0;    // the float nearest the decimal written
};

struct KnownSurvey {
  std::string text;
  std::size_t data_columns = 0;
  // Per sounding: x, y, height, then the data columns in table order.
  std::vector<std::vector<KnownField>> rows;
  // What the run should warn about, counted as the file holds them.
  std::int64_t empty_values = 0;        // in x, y, the height or the data
  std::int64_t ignored_values = 0;      // receiver lines with a value after their data
  std::int64_t soundings_lacking = 0;   // a component their column's label names is missing
  std::int64_t soundings_dropping = 0;  // both components under a column of one
  // How often each layout feature was drawn, for the check's summary.
  std::map<std::string, std::int64_t> layouts;
};

struct KnownSurveyShape {
  std::int64_t min_soundings = 1;
  std::int64_t max_soundings = 40;
  bool variations = true;  // soundings whose components differ from sounding 1's
};

KnownSurvey generate_known_survey(std::uint64_t seed, const KnownSurveyShape& shape = {});

// What the fields of a table should read: the CSV's (the shortest decimal
// that reads back to the number, "0" for zero, empty where empty) and
// vask.out's (fixed-width fields from an exact decimal expansion).
std::string expected_csv_field(const KnownField& field, bool coordinate);
std::string expected_vask_row(const std::vector<KnownField>& row);

// Generates `surveys` surveys from `first_seed` on, converts each in this
// process with --format csv and plainly (read in pieces on threads whatever
// their size, with `pieces`), and compares every field of both tables and
// the warnings with what the generator meant.
struct KnownValuesTally {
  std::int64_t surveys = 0;
  std::int64_t fields = 0;               // table fields compared, CSV and vask.out
  std::int64_t surveys_differing = 0;
  std::int64_t fields_differing = 0;
  std::vector<std::string> first_differences;  // a few, with their seeds
  std::map<std::string, std::int64_t> differences;  // by kind
  std::map<std::string, std::int64_t> layouts;
};
KnownValuesTally run_known_values(std::uint64_t first_seed, std::int64_t surveys, const KnownSurveyShape& shape,
                                  bool pieces);

}  // namespace korvan::testing
