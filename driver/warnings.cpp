// The warnings of a conversion. Finding them costs one pass over the counts
// and letters already in memory; where one is found, the line of its first
// sounding is looked up in the file.
#include "driver/warnings.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "driver/column_header.h"
#include "textio/text_place.h"

namespace korvan::driver {
namespace {

// Soundings that differ from their columns' labels in one way: how many,
// and the first with what it has and what the label says.
struct Differing {
  std::int64_t count = 0;
  std::int64_t first = 0;
  std::string has;
  std::string label;

  void note(std::int64_t isound, std::string sounding_has, std::string label_says) {
    if (count++ > 0) return;
    first = isound;
    has = std::move(sounding_has);
    label = std::move(label_says);
  }
};

std::string place_of(const reader::DataFile& file, const textio::TextPosition& where, textio::LineColumn& at) {
  at = textio::locate(file.path, where);
  return file.name + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": ";
}

// A decimal comma splits a number in two: "29,7" reads as 29 and 7.
std::string decimal_comma_hint(const reader::DataFile& file, const reader::Fault& further) {
  const std::string line = textio::line_at(file.path, further.where.record_offset);
  const std::size_t at = further.where.column;
  if (at < 2 || at >= line.size() || line[at - 1] != ',' || line[at - 2] < '0' || line[at - 2] > '9') return "";
  std::size_t start = at - 1;
  while (start > 0 && line[start - 1] != ' ' && line[start - 1] != '\t' && line[start - 1] != ',') --start;
  std::size_t end = at;
  while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != ',' && line[end] != '/') ++end;
  const std::string pair = line.substr(start, end - start);
  return "; a decimal comma? \"" + pair + "\" reads as " + line.substr(start, at - 1 - start) + " and " +
         line.substr(at, end - at);
}

std::string frequency_of(const DataColumn& column, float frequency) {
  DataColumn other = column;
  other.frequency = frequency;
  const std::string label = column_label(other);
  return label.substr(0, label.find(','));
}

// "1 sounding has", "3 soundings have".
std::string soundings_have(std::int64_t n) {
  return std::to_string(n) + (n == 1 ? " sounding has" : " soundings have");
}

std::string line_of_sounding(const reader::DataFile& file, std::int64_t isound) {
  return std::to_string(textio::locate(file.path, reader::getdims_mod::sounding_start(file, isound)).line);
}

void add_differing(std::vector<Warning>& warnings, const reader::DataFile& file, const Differing& d,
                   const std::string& what, const char* column_of = "a column of ") {
  if (d.count == 0) return;
  const std::string line = line_of_sounding(file, d.first);
  warnings.push_back({file.name + ":" + line + ":1: ",
                      soundings_have(d.count) + " " + what + "; the first is sounding " + std::to_string(d.first) +
                          " (" + d.has + " under " + d.label + ")",
                      "sounding " + std::to_string(d.first) + " has " + d.has + " under " + column_of + d.label +
                          " (line " + line + ")"});
}

}  // namespace

std::vector<Warning> find_warnings(const reader::DataFile& file, const reader::Scan& scan, const ColumnPlan& plan,
                                   std::string_view empty_becomes) {
  std::vector<Warning> warnings;
  const std::int64_t found = scan.dims.nsound;
  if (scan.announced != found) {
    const std::string counts = "the header announces " + std::to_string(scan.announced) + " soundings, the file holds " +
                               std::to_string(found);
    warnings.push_back({file.name + ": ", counts, counts});
  }
  const std::string becomes(empty_becomes);
  if (const std::optional<reader::Fault>& first = scan.empty.first) {
    textio::LineColumn at;
    const std::string where = place_of(file, first->where, at);
    const std::string sounding = std::to_string(first->place.isound);
    const std::int64_t n = scan.empty.count;
    warnings.push_back({where,
                        std::to_string(n) + (n == 1 ? " empty value" : " empty values") + " (null, slash or r*) " +
                            becomes + "; the first is in sounding " + sounding,
                        "empty value " + becomes + " at line " + std::to_string(at.line) + " (sounding " + sounding +
                            ")"});
  }
  if (const std::optional<reader::Fault>& first = scan.ignored.first) {
    textio::LineColumn at;
    const std::string where = place_of(file, first->where, at);
    const std::string sounding = std::to_string(first->place.isound);
    const std::int64_t n = scan.ignored.count;
    warnings.push_back({where,
                        std::to_string(n) + (n == 1 ? " receiver line has" : " receiver lines have") +
                            " values after their data, ignored; the first is in sounding " + sounding +
                            decimal_comma_hint(file, *first),
                        "value after the data ignored at line " + std::to_string(at.line) + " (sounding " + sounding +
                            ")"});
  }

  Differing frequencies;
  Differing orientations;
  Differing components;
  Differing both;
  const reader::SoundingArrays& a = *scan.arrays;
  // Mostly a sounding's frequencies, orientations and components are those
  // of sounding 1 byte for byte: one comparison of each slice settles it.
  const auto same_as_first = [](const auto& array, std::int64_t isound) {
    const auto bytes = static_cast<std::size_t>(array.slice()) * sizeof(*array.data());
    return std::memcmp(array.data(), array.data() + (isound - 1) * array.slice(), bytes) == 0;
  };
  for (std::int64_t isound = 2; isound <= found; ++isound) {
    if (same_as_first(a.freq, isound) && same_as_first(a.ot, isound) && same_as_first(a.octype, isound)) continue;
    bool frequency_differs = false;
    bool orientation_differs = false;
    bool component_lacking = false;
    bool both_components = false;
    for (const DataColumn& column : plan) {
      const float frequency = a.freq(column.ifreq, isound);
      const char orientation = a.ot(column.it, column.ifreq, isound);
      const char component = a.octype(1, column.it, column.ifreq, isound);
      if (!frequency_differs && frequency != column.frequency) {
        frequency_differs = true;
        frequencies.note(isound, frequency_of(column, frequency), frequency_of(column, column.frequency));
      }
      if (!orientation_differs && orientation != column.orientation) {
        orientation_differs = true;
        orientations.note(isound, std::string("orientation ") + orientation,
                          std::string("orientation ") + column.orientation);
      }
      if (!component_lacking && component == (column.inphase ? 'q' : 'i')) {
        component_lacking = true;
        components.note(isound, std::string("component ") + component,
                        column.inphase ? "an inphase column" : "a quadrature column");
      }
      // Sounding 1 gives the columns: under a column of one component, the
      // other value of a b receiver is written nowhere.
      if (!both_components && component == 'b' && a.octype(1, column.it, column.ifreq, 1) != 'b') {
        both_components = true;
        both.note(isound, "component b", column.inphase ? "an inphase column only" : "a quadrature column only");
      }
    }
  }
  add_differing(warnings, file, frequencies, "another frequency than its column's label");
  add_differing(warnings, file, orientations, "another transmitter orientation than its column's label");
  add_differing(warnings, file, components,
                "no value for the component its column's label names (" + becomes + ")");
  add_differing(warnings, file, both, "both components under a column of one (the other value is written nowhere)",
                "");
  return warnings;
}

}  // namespace korvan::driver
