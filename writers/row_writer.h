// writers/: the rows files - the vask.out header and rows (here and
// column_header.h), CSV (csv_writer.h), the chunk pipeline they share, and
// the output unit and files below them. It uses table/, reader/, format/,
// text/ and console/.
//
// The rows of the vask.out layout: one per sounding, x and y (F15.5), the height (the
// negated transmitter vertical coordinate, G12.5) and the data (G12.5).
#pragma once

#include <string_view>
#include <vector>

#include "reader/sounding_arrays.h"
#include "table/column_plan.h"
#include "writers/column_header.h"
#include "writers/output_unit.h"

namespace korvan::writers {

void write_rows(const reader::SoundingArrays& arrays, std::int32_t nsound, const table::ColumnPlan& plan,
                std::vector<Field>& fields_a, OutputUnit& out, std::string_view file_name);

}  // namespace korvan::writers
