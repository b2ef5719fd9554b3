// Where a place in a text file stands for a person: its line and column,
// the line's text and the value at a column. Worked out from the file only
// when a message needs them, so nothing on the way is counted.
#pragma once

#include <cstdint>
#include <string>

#include "textio/free_format_reader.h"

namespace korvan::textio {

// Lines and columns from 1; the column counts bytes of the line.
struct LineColumn {
  std::uint64_t line = 1;
  std::uint64_t column = 1;
};
LineColumn locate(const std::string& path, const TextPosition& where);

// The line of the file that starts at `offset` (at most a few KiB of it).
std::string line_at(const std::string& path, std::uint64_t offset);

// The value that stands at `column` of `line`, as a free-format read ends it
// (its first 40 characters, with a '?' for each byte that is no text).
std::string value_at(const std::string& line, std::size_t column);

}  // namespace korvan::textio
