// What reading a survey through the reader's door gives, as a conversion
// shows it before its rows: the notice, the stop with its lines for standard
// error, every value stored and the warnings. The text is read in memory,
// as a regular file would be.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "console/console.h"
#include "console/stop.h"
#include "reader/read_survey.h"
#include "reader/sounding_arrays.h"
#include "table/column_plan.h"
#include "table/suitability.h"
#include "table/warnings.h"
#include "text/data_source.h"

namespace korvan::testing {

struct ReadingOutcome {
  std::string console;   // the notice, as the console shows it
  std::string stop;      // the stop's console line, then each of its lines for standard error
  std::string arrays;    // every value stored, as stored_values gives it
  std::string warnings;  // a line per warning
  reader::Survey survey;  // as the reading gave it, before any check

  bool same(const ReadingOutcome& other) const {
    return console == other.console && stop == other.stop && arrays == other.arrays && warnings == other.warnings;
  }
};

// The bytes of every value the arrays hold for the file's entries, in file
// order (the places of entries a sounding lacks hold nothing defined).
inline std::string stored_values(const reader::SoundingArrays& a) {
  std::string out;
  const auto add = [&out](const auto& value) { out.append(reinterpret_cast<const char*>(&value), sizeof value); };
  for (std::int32_t s = 1; s <= a.dims.nsound; ++s) {
    add(a.soundx(s)), add(a.soundy(s)), add(a.nfreqs(s));
    if (!a.soundx_exact.empty()) add(a.soundx_exact[s - 1]), add(a.soundy_exact[s - 1]);
    for (std::int32_t f = 1; f <= a.nfreqs(s); ++f) {
      add(a.freq(f, s)), add(a.nt(f, s));
      for (std::int32_t t = 1; t <= a.nt(f, s); ++t) {
        add(a.momt(t, f, s)), add(a.zt(t, f, s)), add(a.ot(t, f, s)), add(a.nr(t, f, s));
        for (std::int32_t r = 1; r <= a.nr(t, f, s); ++r) {
          add(a.momr(r, t, f, s)), add(a.trx(r, t, f, s)), add(a.try_(r, t, f, s)), add(a.zr(r, t, f, s));
          add(a.or_(r, t, f, s)), add(a.prd(r, t, f, s)), add(a.ontype(r, t, f, s)), add(a.octype(r, t, f, s));
        }
      }
    }
  }
  return out;
}

// Reads `text` as the data file `name`. With `in_pieces`, the text is read
// in pieces as small as may be, as a large file would be.
inline ReadingOutcome read_text(std::string text, bool in_pieces = false, const std::string& name = "d.prd") {
  ReadingOutcome outcome;
  console::Console console(&outcome.console);
  text::DataSource data = text::DataSource::from_bytes(name, std::move(text));
  reader::ReadOptions options;
  if (in_pieces) options.pieces_from_bytes = 0;
  try {
    outcome.survey = reader::read_survey(data, console, options);
    table::check_suitability(outcome.survey);
    const reader::SoundingArrays& arrays = outcome.survey.arrays.value();
    outcome.arrays = stored_values(arrays);
    const table::ColumnPlan plan = table::make_column_plan(outcome.survey.first.value());
    for (const table::Warning& warning : table::find_warnings(name, outcome.survey, plan, "written as 0")) {
      outcome.warnings += warning.warning_line() + "\n";
    }
  } catch (const console::FatalStop& stop) {
    outcome.stop = stop.console_line();
    for (const std::string& line : stop.details()) outcome.stop += "\n" + line;
  }
  return outcome;
}

}  // namespace korvan::testing
