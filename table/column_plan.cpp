// The column plan: the one walk over sounding 1's frequencies and
// transmitters that decides the data columns, and the columns' label and
// CSV name.
#include "table/column_plan.h"

#include <charconv>
#include <map>
#include <span>

#include "console/stop.h"
#include "format/fixed_format.h"
#include "text/text_helpers.h"

namespace korvan::table {
namespace {

// The G13.6 rendering of the frequency without its surrounding blanks.
std::string frequency_text(float frequency) {
  std::string text(15, ' ');
  format::render_g(std::span<char>(text).subspan(2), 6, frequency);
  text::left_adjust(text);
  return std::string(text::trim_right(text));
}

// A frequency as a name shows it: the shortest decimal without an exponent
// ("100000", not "1e+05").
std::string frequency_name(float value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr);
}

// How much a column's name says: what it holds, then its transmitter, then
// its frequency position as well.
enum class Qualifier { none, transmitter, frequency_and_transmitter };

std::string column_name(const DataColumn& column, Qualifier qualifier) {
  std::string name = frequency_name(column.frequency) + "Hz_" + column.orientation;
  name += column.inphase ? "_inphase" : "_quadrature";
  if (qualifier == Qualifier::frequency_and_transmitter) name += "_f" + std::to_string(column.ifreq);
  if (qualifier != Qualifier::none) name += "_tx" + std::to_string(column.it);
  return name;
}

}  // namespace

ColumnPlan make_column_plan(const reader::FirstSounding& first) {
  ColumnPlan plan;
  for (std::int32_t ifreq = 1; ifreq <= first.nfreq(); ++ifreq) {
    const float frequency = first.frequencies[static_cast<std::size_t>(ifreq - 1)].freq;
    for (std::int32_t it = 1; it <= first.ntx(ifreq); ++it) {
      const char orientation = first.transmitter(ifreq, it).orientation;
      const char component = first.receiver(ifreq, it).component;
      if (component != 'i' && component != 'q' && component != 'b') {
        console::stop("inconsistent inphase/quadrature information");
      }
      if (component != 'q') plan.push_back({ifreq, it, true, frequency, orientation});
      if (component != 'i') plan.push_back({ifreq, it, false, frequency, orientation});
    }
  }
  return plan;
}

std::string column_label(const DataColumn& column) {
  return frequency_text(column.frequency) + "Hz, " + column.orientation +
         (column.inphase ? " orientation, inphase" : " orientation, quadrature");
}

std::vector<std::string> csv_column_names(const ColumnPlan& plan) {
  // Each round qualifies the names that still clash; the last qualifier
  // names the column's place, which no other column has.
  std::vector<Qualifier> qualifiers(plan.size(), Qualifier::none);
  for (const Qualifier next : {Qualifier::transmitter, Qualifier::frequency_and_transmitter}) {
    std::map<std::string, int> uses;
    for (std::size_t c = 0; c < plan.size(); ++c) ++uses[column_name(plan[c], qualifiers[c])];
    for (std::size_t c = 0; c < plan.size(); ++c) {
      if (uses[column_name(plan[c], qualifiers[c])] > 1) qualifiers[c] = next;
    }
  }
  std::vector<std::string> names = {"sounding", "line", "x", "y", "height"};
  for (std::size_t c = 0; c < plan.size(); ++c) names.push_back(column_name(plan[c], qualifiers[c]));
  return names;
}

}  // namespace korvan::table
