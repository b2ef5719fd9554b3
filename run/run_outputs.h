// The files a run writes: the rows file (vask.out, vask.csv, the file that
// -o names, or standard output) and the --plot picture. None of them may be
// the data file or another of them, by any name. The outputs that the options
// choose are checked before anything is read and replace their files only
// when complete (writers/output_file.h); the plain run's vask.out is opened in
// place when its turn comes, as it always was, and refused there if it is
// the data file.
#pragma once

#include <optional>
#include <string>

#include "picture/survey_picture.h"
#include "reader/sounding_arrays.h"
#include "run/run.h"
#include "table/column_plan.h"
#include "writers/file_identity.h"
#include "writers/output_file.h"
#include "writers/output_unit.h"

namespace korvan::run {

class RunOutputs {
 public:
  // Stops when an output of the options is the data file (`data_name`,
  // "-" for standard input unless typed at the prompt), when two outputs
  // are one file, and when an output of the options can be neither created
  // nor opened for writing. Reads and writes nothing.
  RunOutputs(const ConversionOptions& options, const std::string& rows_name, const std::string& data_name,
             bool typed_name);

  // Opens the rows file for `out`, after the "Writing converted data" line.
  void open_rows(writers::OutputUnit& out);
  // Draws the --plot picture, once the rows are written whole. Where it
  // fails, the rows file is put in its place before the run stops.
  void draw_picture(const picture::SurveyPicture& picture);
  // Puts the rows file, then the picture, in its place.
  void put_in_place();

 private:
  std::string rows_name_;
  bool rows_of_options_;  // -o or --format csv chose the rows file
  std::optional<std::string> plot_name_;
  std::optional<writers::FileIdentity> data_;
  std::optional<writers::OutputFile> rows_file_;
  std::optional<writers::OutputFile> picture_file_;
};

}  // namespace korvan::run
