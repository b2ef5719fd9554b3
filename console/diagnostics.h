// Standard error: the converter's diagnostics, hints and warnings, one line
// each in the form "korvan2col: ...". Nothing that scripts read from the
// console goes here.
#pragma once

#include <string>
#include <string_view>

namespace korvan::console {

class Diagnostics {
 public:
  // Writes to the descriptor (standard error by default).
  explicit Diagnostics(int fd = 2) : fd_(fd) {}
  // Collects the lines instead, for tests.
  explicit Diagnostics(std::string* capture) : capture_(capture) {}

  // One line: "korvan2col: ", the text and a line end.
  void line(std::string_view text);

 private:
  int fd_ = -1;
  std::string* capture_ = nullptr;
};

}  // namespace korvan::console
