// Standard input, output and error that the process was started without: each
// is opened on /dev/null first, so that no file the run opens later takes its
// number (a rows file that became standard output would get the dialogue).
#pragma once

namespace korvan::cli {

struct StandardStreams {
  bool input_closed = false;
  bool output_closed = false;
  bool error_closed = false;
};

// Opens each of descriptors 0, 1 and 2 that is closed on /dev/null (read and
// write) and says which were closed.
StandardStreams open_closed_standard_streams();

}  // namespace korvan::cli
