// The column label lines of the vask.out layout, one per data column, in the order the
// rows use: frequencies, then transmitters, then in-phase before quadrature.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "driver/column_plan.h"
#include "textio/output_unit.h"

namespace korvan::driver {

// One 12-character text per row field: the height, then each data column.
using Field = std::array<char, 12>;

// A column's label: "900.000Hz, z orientation, inphase", the frequency as
// G13.6 renders it without its blanks.
std::string column_label(const DataColumn& column);

// Writes one label line per planned column and returns fields_a, sized for
// the height and every data column.
std::vector<Field> write_column_header(const ColumnPlan& plan, textio::OutputUnit& out, std::string_view file_name);

}  // namespace korvan::driver
