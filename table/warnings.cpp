// The warnings of a conversion, from what the reading noted on the way: each
// note counts what it found and keeps the first place.
#include "table/warnings.h"

#include <algorithm>
#include <cstdint>

namespace korvan::table {
namespace {

// "1 sounding has", "3 soundings have".
std::string soundings_have(std::int64_t n) {
  return std::to_string(n) + (n == 1 ? " sounding has" : " soundings have");
}

std::string place_of(const std::string& name, const text::TextPosition& where) {
  return name + ":" + std::to_string(where.line) + ":" + std::to_string(where.column + 1) + ": ";
}

// The column of the transmitter a note is about, as sounding 1 made it; a
// note about a frequency names no transmitter, and the frequency's first
// column serves.
const DataColumn& column_of(const ColumnPlan& plan, const reader::LabelNote& note) {
  return *std::find_if(plan.begin(), plan.end(), [&](const DataColumn& c) {
    return c.ifreq == note.ifreq && (note.it == 0 || c.it == note.it);
  });
}

// A frequency as its column's label shows it: "900.000Hz".
std::string frequency_text(const DataColumn& column, float frequency) {
  DataColumn other = column;
  other.frequency = frequency;
  const std::string label = column_label(other);
  return label.substr(0, label.find(','));
}

// Soundings unlike their columns' labels in one way: what the first one
// has, and what the label says.
void add_label_note(std::vector<Warning>& warnings, const std::string& name, const reader::LabelNote& note,
                    const std::string& what, const std::string& has, const std::string& label,
                    const char* column_of_text = "a column of ") {
  if (note.count == 0) return;
  const std::string line = std::to_string(note.line);
  warnings.push_back({name + ":" + line + ":1: ",
                      soundings_have(note.count) + " " + what + "; the first is sounding " +
                          std::to_string(note.isound) + " (" + has + " under " + label + ")",
                      "sounding " + std::to_string(note.isound) + " has " + has + " under " + column_of_text + label +
                          " (line " + line + ")"});
}

}  // namespace

std::vector<Warning> find_warnings(const std::string& name, const reader::SurveyNotes& survey, const ColumnPlan& plan,
                                   std::string_view empty_becomes) {
  std::vector<Warning> warnings;
  const std::int64_t found = survey.dims.nsound;
  if (survey.announced != found) {
    const std::string counts = "the header announces " + std::to_string(survey.announced) +
                               " soundings, the file holds " + std::to_string(found);
    warnings.push_back({name + ": ", counts, counts});
  }
  const std::string becomes(empty_becomes);
  if (const std::optional<reader::Fault>& first = survey.empty.first) {
    const std::string sounding = std::to_string(first->place.isound);
    const std::int64_t n = survey.empty.count;
    warnings.push_back({place_of(name, first->where),
                        std::to_string(n) + (n == 1 ? " empty value" : " empty values") + " (null, slash or r*) " +
                            becomes + "; the first is in sounding " + sounding,
                        "empty value " + becomes + " at line " + std::to_string(first->where.line) + " (sounding " +
                            sounding + ")"});
  }
  if (const std::optional<reader::Fault>& first = survey.ignored.first) {
    const std::string sounding = std::to_string(first->place.isound);
    const std::int64_t n = survey.ignored.count;
    const std::string& pair = first->comma_joined;
    const std::size_t comma = pair.find(',');
    const std::string hint = pair.empty() ? "" : "; a decimal comma? \"" + pair + "\" reads as " +
                                                      pair.substr(0, comma) + " and " + pair.substr(comma + 1);
    warnings.push_back({place_of(name, first->where),
                        std::to_string(n) + (n == 1 ? " receiver line has" : " receiver lines have") +
                            " values after their data, ignored; the first is in sounding " + sounding + hint,
                        "value after the data ignored at line " + std::to_string(first->where.line) + " (sounding " +
                            sounding + ")"});
  }

  const reader::LabelNotes& labels = survey.labels;
  if (labels.frequency.count > 0) {
    const DataColumn& column = column_of(plan, labels.frequency);
    add_label_note(warnings, name, labels.frequency, "another frequency than its column's label",
                   frequency_text(column, labels.frequency.frequency), frequency_text(column, column.frequency));
  }
  if (labels.orientation.count > 0) {
    const DataColumn& column = column_of(plan, labels.orientation);
    add_label_note(warnings, name, labels.orientation, "another transmitter orientation than its column's label",
                   std::string("orientation ") + labels.orientation.letter,
                   std::string("orientation ") + column.orientation);
  }
  const reader::LabelNote& lacking = labels.lacking;
  add_label_note(warnings, name, lacking, "no value for the component its column's label names (" + becomes + ")",
                 std::string("component ") + lacking.letter,
                 lacking.inphase_column ? "an inphase column" : "a quadrature column");
  const reader::LabelNote& both = labels.both;
  add_label_note(warnings, name, both, "both components under a column of one (the other value is written nowhere)",
                 "component b", both.inphase_column ? "an inphase column only" : "a quadrature column only", "");
  return warnings;
}

PaddingNotes padding_notes(const std::string& name, std::uint64_t padding) {
  const std::string text =
      std::to_string(padding) + (padding == 1 ? " zero byte" : " zero bytes") + " after the compressed data";
  return {name + ": warning: " + text + ", passed over as padding",
          "zero bytes after the compressed data of \"" + name + "\"", name + ": " + text};
}

}  // namespace korvan::table
