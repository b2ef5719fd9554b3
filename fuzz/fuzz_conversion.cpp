// A whole conversion of an arbitrary data file, run in a private scratch
// directory. A run either stops with one console line of a stop's form or
// completes; then vask.out must have the documented structure: CR LF line
// ends, the five fixed header lines, one label line per data column (the
// last ending in "."), and one row per sounding of 32 + 13 * n characters.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "console/console.h"
#include "console/stop.h"
#include "fuzz/array_limit.h"
#include "run/run.h"
#include "text/input_unit.h"

namespace {

constexpr const char* kDataName = "data.prd";

// Data whose arrays would pass this are left out (fuzz/array_limit.h).
constexpr std::uint64_t kMaxFuzzArrayBytes = std::uint64_t{256} << 20;

[[noreturn]] void fail(const std::string& what, const std::string& detail) {
  std::fprintf(stderr, "conversion invariant broken: %s\n%s\n", what.c_str(), detail.c_str());
  std::abort();
}

std::string slurp(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool ends_with(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// The number of soundings from the scan's notice "  K soundings read from ...".
long soundings_found(const std::string& console) {
  const std::size_t at = console.find(" soundings read from \"");
  if (at == std::string::npos) fail("no soundings notice", console);
  const std::size_t start = console.rfind('\n', at) + 1;
  return std::strtol(console.c_str() + start, nullptr, 10);
}

bool label_line(std::string_view line, std::size_t column) {
  // "/  ccc  <frequency>Hz, <o> orientation, inphase;" and the like.
  char number[4];
  std::snprintf(number, sizeof number, "%3zu", column);
  if (!starts_with(line, std::string("/  ") + number + "  ")) return false;
  const std::size_t hz = line.find("Hz, ");
  if (hz == std::string_view::npos || hz <= 8) return false;
  const std::string_view rest = line.substr(hz + 4);
  return rest.size() > 1 && std::string_view("xyz").find(rest[0]) != std::string_view::npos &&
         (rest.substr(1) == " orientation, inphase;" || rest.substr(1) == " orientation, inphase." ||
          rest.substr(1) == " orientation, quadrature;" || rest.substr(1) == " orientation, quadrature.");
}

void check_output(const std::string& console) {
  const std::string file = slurp("vask.out");
  if (!ends_with(file, "\r\n")) fail("vask.out does not end in CR LF", file);
  std::vector<std::string_view> lines;
  std::string_view rest(file);
  while (!rest.empty()) {
    const std::size_t nl = rest.find('\n');
    const std::string_view line = rest.substr(0, nl);
    if (line.empty() || line.back() != '\r') fail("a line of vask.out does not end in CR LF", file);
    if (line.substr(0, line.size() - 1).find('\r') != std::string_view::npos) fail("a stray CR in vask.out", file);
    lines.push_back(line.substr(0, line.size() - 1));
    rest.remove_prefix(nl + 1);
  }
  static const char* const kHeader[] = {"/ Converted from KORVAN file \"data.prd\".", "/ Column index:",
                                        "/    1  x-coordinate;", "/    2  y-coordinate;", "/    3  height (m);"};
  if (lines.size() < 6) fail("vask.out too short", file);
  for (std::size_t i = 0; i < 5; ++i) {
    if (lines[i] != kHeader[i]) fail("header line " + std::to_string(i + 1) + " differs", file);
  }
  std::size_t columns = 0;
  std::size_t i = 5;
  while (i < lines.size() && starts_with(lines[i], "/")) {
    if (!label_line(lines[i], columns + 4)) fail("malformed label line", file);
    ++columns;
    ++i;
  }
  if (columns == 0 || !ends_with(lines[i - 1], ".")) fail("label lines missing or not ended by a full stop", file);
  for (std::size_t j = 5; j + 1 < i; ++j) {
    if (!ends_with(lines[j], ";")) fail("a label line before the last does not end in ';'", file);
  }
  const std::size_t rows = lines.size() - i;
  if (static_cast<long>(rows) != soundings_found(console)) fail("rows and soundings differ", console + file);
  const std::size_t row_length = 32 + 13 * (columns + 1);
  for (; i < lines.size(); ++i) {
    const std::string_view row = lines[i];
    if (row.size() != row_length) fail("row of " + std::to_string(row.size()) + " characters", file);
    if (row[0] != ' ' || row[16] != ' ') fail("row without its field blanks", file);
    for (std::size_t f = 32; f < row.size(); f += 13) {
      if (row[f] != ' ') fail("row without its field blanks", file);
      // G12.5 holds every finite value.
      if (row.substr(f + 1, 12).find('*') != std::string_view::npos) fail("asterisks in a G12.5 field", file);
    }
    if (row.back() == ' ') fail("trailing blank in a row", file);
  }
  if (!ends_with(console, "\nDone.\n")) fail("console does not end with Done.", console);
}

char scratch_dir[] = "/tmp/korvan-fuzz-XXXXXX";

// The scratch directory goes when the fuzzer ends normally (a crash keeps
// it, with the input that caused it as data.prd).
void remove_scratch() {
  ::unlink(kDataName);
  ::unlink("vask.out");
  if (::chdir("/") == 0) ::rmdir(scratch_dir);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (::mkdtemp(scratch_dir) == nullptr || ::chdir(scratch_dir) != 0) std::abort();
  std::atexit(remove_scratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (korvan::fuzzing::arrays_beyond(text, kMaxFuzzArrayBytes)) return 0;
  std::ofstream(kDataName, std::ios::binary | std::ios::trunc) << text;
  ::unlink("vask.out");

  std::string console;
  korvan::console::Console capture(&console);
  korvan::text::InputUnit standard_input;  // not read: the name is given
  try {
    korvan::run::run_conversion(standard_input, capture, {.data_name = kDataName});
  } catch (const korvan::console::FatalStop& stop) {
    const std::string& line = stop.console_line();
    const bool general = starts_with(line, "Stop: ");
    const bool unsuitable = starts_with(line, "Stop 'cause data not suitable for column format: ");
    if ((!general && !unsuitable) || !ends_with(line, ".") || line.find('\n') != std::string::npos) {
      fail("malformed stop line", line);
    }
    return 0;
  }
  check_output(console);
  return 0;
}
