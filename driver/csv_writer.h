// The rows file as comma-separated values (--format csv), for programs that
// read tables: one header row of short unique column names, then one row per
// sounding with x, y, the height and the planned data columns. Lines end in
// LF; every value is the shortest decimal that reads back to the same number,
// and a component that a sounding lacks under its column's label is an empty
// field.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/column_plan.h"
#include "reader/sounding_arrays.h"
#include "textio/output_unit.h"

namespace korvan::driver {

// "x", "y", "height", then per data column the frequency, "Hz", the
// orientation and the component ("900Hz_z_inphase"). Columns that would
// share a name add their transmitter ("_tx2"), and where that is not enough
// their frequency position too ("_f3_tx1").
std::vector<std::string> csv_column_names(const ColumnPlan& plan);

// Writes the header row and the rows of soundings 1 to nsound. x_exact and
// y_exact, when they hold every sounding (index 0 for sounding 1), give the
// coordinates in double precision; when empty, soundx and soundy are written.
void write_csv(const reader::SoundingArrays& arrays, std::int32_t nsound, const ColumnPlan& plan,
               std::span<const double> x_exact, std::span<const double> y_exact, textio::OutputUnit& out,
               std::string_view file_name);

}  // namespace korvan::driver
