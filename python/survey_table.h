// A survey read into the table's columns for Python, as the command's CSV
// has them (names, order, values; NaN where the CSV has an empty field),
// with what each data column holds and the warnings of the reading. Plain
// C++: the module (module.cpp) hands the columns to numpy.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "text/data_source.h"

namespace korvan::python {

enum class ValueType { int32, float32, float64 };

struct TableColumn {
  std::string name;  // the CSV's
  ValueType type;
  void* values;                 // one per row
  std::shared_ptr<void> owner;  // keeps the values
};

// A data column: its name and what its values are.
struct Channel {
  std::string name;
  double frequency;        // Hz
  char orientation;        // of the transmitter: x, y or z
  std::string component;   // "inphase" or "quadrature"
};

struct SurveyTable {
  std::int64_t rows = 0;
  std::vector<TableColumn> columns;  // in the CSV's order
  std::vector<Channel> channels;     // the data columns, in the same order
  std::vector<std::string> warnings; // standard error's lines, without the program's name
};

struct TableRequest {
  bool strict = false;                 // what --strict refuses stops the reading
  std::optional<double> line_gap;      // metres; else the flight lines' default jump
  const std::atomic<bool>* cancel = nullptr;
};

// Reads the table of the survey in `data`. Throws console::FatalStop where
// the command would stop, with the same console line and standard-error
// lines, and reader::Cancelled once `cancel` turns true.
SurveyTable read_table(text::DataSource& data, const TableRequest& request);

}  // namespace korvan::python
