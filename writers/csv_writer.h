// The rows file as comma-separated values (--format csv), for programs that
// read tables: one header row of short unique column names, then one row per
// sounding with its number, its flight line, x, y, the height and the planned
// data columns. Lines end in
// LF; every value is the shortest decimal that reads back to the same number,
// and a component that a sounding lacks under its column's label is an empty
// field.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "reader/sounding_arrays.h"
#include "table/column_plan.h"
#include "writers/output_unit.h"

namespace korvan::writers {

// Writes the header row and the rows of soundings 1 to nsound. `lines`
// holds each sounding's flight line (index 0 for sounding 1; 0 for none).
// x_exact and y_exact, when they hold every sounding, give the coordinates
// in double precision; when empty, soundx and soundy are written.
void write_csv(const reader::SoundingArrays& arrays, std::int32_t nsound, const table::ColumnPlan& plan,
               std::span<const std::int32_t> lines, std::span<const double> x_exact, std::span<const double> y_exact,
               OutputUnit& out, std::string_view file_name);

}  // namespace korvan::writers
