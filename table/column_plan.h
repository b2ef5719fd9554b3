// table/: the table a survey makes - the column plan and the names of its
// columns (here), the suitability checks, the warnings and the flight lines.
// It uses reader/, and format/, text/ and console/ for labels and stops.
//
// Which frequency, transmitter and component each data column holds,
// decided once from sounding 1, and the names the columns go by: the column
// labels, the CSV names and the rows of every output format follow the same
// plan.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reader/layout.h"

namespace korvan::table {

struct DataColumn {
  std::int32_t ifreq;
  std::int32_t it;
  bool inphase;      // the in-phase part of the datum, else the quadrature part
  float frequency;   // freq(ifreq, 1), which the label shows
  char orientation;  // ot(it, ifreq, 1), which the label shows
};

// Frequencies in file order, within each its transmitters in file order, and
// for a transmitter with both components the in-phase column first.
using ColumnPlan = std::vector<DataColumn>;

// The plan of sounding 1's columns. Stops with "inconsistent
// inphase/quadrature information" when sounding 1 holds a component other
// than b, i or q.
ColumnPlan make_column_plan(const reader::FirstSounding& first);

// A column's label: "900.000Hz, z orientation, inphase", the frequency as
// G13.6 renders it without its blanks.
std::string column_label(const DataColumn& column);

// "sounding", "line", "x", "y", "height", then per data column the
// frequency, "Hz", the orientation and the component ("900Hz_z_inphase").
// Columns that would share a name add their transmitter ("_tx2"), and where
// that is not enough their frequency position too ("_f3_tx1").
std::vector<std::string> csv_column_names(const ColumnPlan& plan);

}  // namespace korvan::table
