// The reading for Python, step by step as the command's run takes it: the
// survey through the door into the columns store, the padding after
// compressed data, the suitability checks, the column plan and its names,
// the warnings (or, strictly, the stop of the first), then the columns the
// CSV adds: each sounding's number and flight line.
#include "python/survey_table.h"

#include <cstdlib>
#include <span>

#include "console/console.h"
#include "console/stop.h"
#include "python/columns_store.h"
#include "reader/survey_reading.h"
#include "table/column_plan.h"
#include "table/flight_lines.h"
#include "table/suitability.h"
#include "table/warnings.h"

namespace korvan::python {
namespace {

// A column's block, given to the table to free.
TableColumn take_column(std::string name, ValueType type, Column& column) {
  void* values = column.release();
  return {std::move(name), type, values, std::shared_ptr<void>(values, std::free)};
}

template <typename T>
TableColumn vector_column(std::string name, ValueType type, std::vector<T> values) {
  auto owner = std::make_shared<std::vector<T>>(std::move(values));
  return {std::move(name), type, owner->data(), owner};
}

// Zero bytes after the compressed data, as the command warns of them.
void note_padding(const text::DataSource& data, bool strict, std::vector<std::string>& warnings) {
  if (data.padding_bytes() == 0) return;
  const table::PaddingNotes notes = table::padding_notes(data.name(), data.padding_bytes());
  if (strict) console::stop(notes.message, {notes.stop_line});
  warnings.push_back(notes.warning_line);
}

}  // namespace

SurveyTable read_table(text::DataSource& data, const TableRequest& request) {
  // The notice of the soundings found is the command's dialogue, not a table's.
  std::string dialogue;
  console::Console console(&dialogue);
  reader::ReadOptions options;
  options.exact_coordinates = true;
  options.empty_as_nan = true;
  options.cancel = request.cancel;
  reader::StoredSurvey<ColumnsStore> survey =
      reader::read_survey_into<ColumnsStore>(data, console, options, [] { return ColumnsStore(); });

  SurveyTable table;
  note_padding(data, request.strict, table.warnings);
  table::check_suitability(survey);
  const table::ColumnPlan plan = table::make_column_plan(*survey.first);
  for (const table::Warning& warning : table::find_warnings(data.name(), survey, plan, "left empty")) {
    if (request.strict) console::stop(warning.message, {warning.stop_line()});
    table.warnings.push_back(warning.warning_line());
  }

  ColumnsStore& store = *survey.stored;
  const std::int64_t rows = store.held();
  table.rows = rows;
  const auto n = static_cast<std::size_t>(rows);
  std::span<const double> x(store.x().as<double>(), n);
  std::span<const double> y(store.y().as<double>(), n);
  table::LineRule rule;
  rule.gap_metres = request.line_gap;
  std::vector<std::int32_t> lines = table::find_flight_lines(x, y, rule);
  std::vector<std::int32_t> soundings(n);
  for (std::size_t i = 0; i < n; ++i) soundings[i] = static_cast<std::int32_t>(i + 1);

  const std::vector<std::string> names = table::csv_column_names(plan);
  const std::size_t first_data = names.size() - plan.size();
  // The CSV's first columns: sounding, line, x, y and height.
  table.columns.push_back(vector_column(names[0], ValueType::int32, std::move(soundings)));
  table.columns.push_back(vector_column(names[1], ValueType::int32, std::move(lines)));
  table.columns.push_back(take_column(names[2], ValueType::float64, store.x()));
  table.columns.push_back(take_column(names[3], ValueType::float64, store.y()));
  table.columns.push_back(take_column(names[4], ValueType::float32, store.height()));
  for (std::size_t c = 0; c < plan.size(); ++c) {
    const std::string& name = names[first_data + c];
    table.columns.push_back(take_column(name, ValueType::float32, store.data()[c]));
    table.channels.push_back({name, plan[c].frequency, plan[c].orientation, plan[c].inphase ? "inphase" : "quadrature"});
  }
  return table;
}

}  // namespace korvan::python
