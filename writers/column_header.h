// The column label lines of the vask.out layout, one per data column, in the order the
// rows use: frequencies, then transmitters, then in-phase before quadrature.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "table/column_plan.h"
#include "writers/output_unit.h"

namespace korvan::writers {

// One 12-character text per row field: the height, then each data column.
using Field = std::array<char, 12>;

// Writes one label line per planned column and returns fields_a, sized for
// the height and every data column.
std::vector<Field> write_column_header(const table::ColumnPlan& plan, OutputUnit& out, std::string_view file_name);

}  // namespace korvan::writers
