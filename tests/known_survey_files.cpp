// Writes known-values surveys (known_values.h) with what the generator
// meant, for the Python package's tests to judge its tables by:
//   known_survey_files DIR FIRST_SEED COUNT [MIN_SOUNDINGS MAX_SOUNDINGS]
// makes DIR/SEED.prd and DIR/SEED.json for each seed, the JSON holding one
// list per sounding - x, y, the height, then the data columns in table order
// - each value null where the table is to have no value, else the number
// meant: the coordinates the double nearest the decimal written, the rest
// the float nearest it (written as that float's exact double).
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "tests/known_values.h"

namespace {

std::string number(double value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string truth_json(const korvan::testing::KnownSurvey& survey) {
  std::string json = "[";
  for (const auto& row : survey.rows) {
    json += json.size() > 1 ? ",\n[" : "\n[";
    for (std::size_t f = 0; f < row.size(); ++f) {
      if (f > 0) json += ',';
      const korvan::testing::KnownField& field = row[f];
      json += field.empty ? "null" : number(f < 2 ? field.exact : static_cast<double>(field.single));
    }
    json += ']';
  }
  return json + "\n]\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 6) {
    std::cerr << "usage: known_survey_files DIR FIRST_SEED COUNT [MIN_SOUNDINGS MAX_SOUNDINGS]\n";
    return 2;
  }
  const std::string dir = argv[1];
  const std::uint64_t first = std::strtoull(argv[2], nullptr, 10);
  const std::uint64_t count = std::strtoull(argv[3], nullptr, 10);
  korvan::testing::KnownSurveyShape shape;
  if (argc == 6) {
    shape.min_soundings = std::strtoll(argv[4], nullptr, 10);
    shape.max_soundings = std::strtoll(argv[5], nullptr, 10);
  }
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    const korvan::testing::KnownSurvey survey = korvan::testing::generate_known_survey(seed, shape);
    const std::string stem = dir + "/" + std::to_string(seed);
    std::ofstream(stem + ".prd", std::ios::binary) << survey.text;
    std::ofstream(stem + ".json", std::ios::binary) << truth_json(survey);
  }
  return 0;
}
