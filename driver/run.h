// The run sequence: banner, prompt, file name, scan, arrays, load, checks,
// vask.out with its header, column labels and rows, then "Done.".
#pragma once

#include <optional>
#include <string_view>

#include "textio/console.h"
#include "textio/input_unit.h"

namespace korvan::driver {

// The data-file name field holds at most this many characters.
inline constexpr std::size_t kNameLength = 99;

// Runs one conversion in the current directory. With a name given, the
// prompt is not shown and standard input is not read. Every failure ends by
// throwing textio::FatalStop with the console line.
void run_conversion(textio::InputUnit& standard_input, textio::Console& console,
                    std::optional<std::string_view> name_argument = std::nullopt);

}  // namespace korvan::driver
