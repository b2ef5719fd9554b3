// Line numbers by counting line ends, in large blocks read by offset.
#include "textio/text_place.h"

#include <algorithm>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace korvan::textio {

LineColumn locate(const std::string& path, const TextPosition& where) {
  LineColumn at;
  at.column = where.column + 1;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return at;
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  const auto buffer = std::make_unique<char[]>(kChunk);
  for (std::uint64_t offset = 0; offset < where.record_offset;) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, where.record_offset - offset));
    const ssize_t got = ::pread(fd, buffer.get(), want, static_cast<off_t>(offset));
    if (got <= 0) break;
    at.line += static_cast<std::uint64_t>(std::count(buffer.get(), buffer.get() + got, '\n'));
    offset += static_cast<std::uint64_t>(got);
  }
  ::close(fd);
  return at;
}

std::string line_at(const std::string& path, std::uint64_t offset) {
  std::string line(4096, '\0');
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const ssize_t got = ::pread(fd, line.data(), line.size(), static_cast<off_t>(offset));
  ::close(fd);
  line.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  line.resize(std::min(line.find('\n'), line.size()));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string value_at(const std::string& line, std::size_t column) {
  if (column >= line.size()) return {};
  const std::size_t end = std::min(line.find_first_of(" \t,/", column), line.size());
  std::string value = line.substr(column, std::min<std::size_t>(end - column, 40));
  for (char& c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
  }
  return value;
}

}  // namespace korvan::textio
