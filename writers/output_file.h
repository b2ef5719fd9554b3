// An output file of the options as the run writes it. A regular file, or a
// name not taken yet, is written under a temporary in the same directory and
// takes the name only when complete, so that a run that fails or is ended
// early leaves the earlier file as it was; anything else is written in
// place, as opened for writing.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include <sys/stat.h>

#include "writers/signal_cleanup.h"

namespace korvan::writers {

class OutputFile;

// Which temporaries open_output_file tries: an unnamed file (O_TMPFILE) that
// is given a name only to be put in place, else a named one; the tests ask
// for the named one alone.
enum class Temporary { unnamed_first, named_only };

// Opens `name` for writing, or says why it cannot be (an errno value).
//
// The temporary replaces the file that a symbolic link leads to (the link
// stays a link) and takes the mode, owner and group of the file it replaces
// (a new file gets 0666 less the umask). A file that the user may not write
// is refused with EACCES, as opening it would be, never replaced through its
// directory. Written in place, as opening it truncates it: standard output
// and other devices, FIFOs, a file with other hard links, and a file whose
// directory takes no temporary or whose owner or group a new file cannot
// have.
std::variant<OutputFile, int> open_output_file(const std::string& name,
                                               Temporary temporary = Temporary::unnamed_first);

// Why opening `name` for writing (creating it if need be) would fail, as an
// errno value; 0 when it would not. Only looks: stat() and access() on the
// name or its directory, nothing opened (a FIFO would wait for a reader).
int cannot_open_for_writing(const std::string& name);

class OutputFile {
 public:
  ~OutputFile();  // a temporary not put in place is gone
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  int descriptor() const { return fd_; }
  bool in_place() const { return target_.empty(); }

  // Gives the temporary the name (renamed over the earlier file); 0, or
  // the errno value of the failure, the temporary then gone.
  int put_in_place();

 private:
  friend std::variant<OutputFile, int> open_output_file(const std::string& name, Temporary temporary);

  explicit OutputFile(int fd) : fd_(fd) {}
  // A temporary beside `target` that takes the place of `replaced` (none:
  // of a new file); nullopt where the directory takes none.
  static std::optional<OutputFile> temporary_for(const std::string& target, const struct stat* replaced,
                                                 Temporary temporary);

  int fd_;
  std::string target_;                      // the name the temporary takes; empty in place
  std::string temporary_name_;              // empty for an unnamed temporary
  std::optional<RemovedOnSignal> removal_;  // while the temporary has a name
};

}  // namespace korvan::writers
