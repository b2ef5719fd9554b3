// Turns the name the user gives for the data file into a regular file the
// converter can open more than once and read at any offset: standard input,
// pipes, devices and gzip-compressed files are first kept, decompressed, in
// an unnamed temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "textio/input_unit.h"

namespace korvan::textio {

// How many of a file's first bytes looks_compressed_or_binary looks at.
inline constexpr std::size_t kHintBytes = 4096;

struct SourceFailure {
  std::string reason;  // in words, with the system's text for system errors
};

class DataSource;
std::variant<DataSource, SourceFailure> open_data_source(std::string_view name, int standard_input);

// The data file as the converter reads it: the file itself when it is a
// regular file that is not compressed, also when standard input ("-") is
// redirected from one; otherwise (standard input from a pipe, a pipe, FIFO,
// character device or any other file that cannot be read twice, and a
// gzip-compressed file recognised by its first bytes whatever its name) its
// bytes, decompressed, kept in an unnamed temporary file in $TMPDIR (else
// /tmp). A gzip file is whole members, one after the other, and then
// nothing but zero bytes, if anything.
class DataSource {
 public:
  ~DataSource();
  DataSource(DataSource&& other) noexcept;
  DataSource& operator=(DataSource&& other) noexcept;
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;

  // What to open for reading: the name as given, or "/proc/self/fd/N" for
  // standard input or a kept copy (each open of it reads from the start).
  const std::string& path() const { return path_; }
  bool is_copy() const { return copy_fd_ >= 0; }
  bool was_compressed() const { return compressed_; }
  // The zero bytes after the last gzip member, passed over.
  std::uint64_t padding_bytes() const { return padding_; }

 private:
  friend std::variant<DataSource, SourceFailure> open_data_source(std::string_view name, int standard_input);

  explicit DataSource(std::string path) : path_(std::move(path)) {}
  DataSource(int copy_fd, bool compressed, std::uint64_t padding);

  std::string path_;
  int copy_fd_ = -1;  // the only link to the kept copy: closing it frees the file
  bool compressed_ = false;
  std::uint64_t padding_ = 0;
};

// `standard_input` is the descriptor read for "-" (0 in the product).
// A name that does not exist, a directory, or a file that cannot be opened
// comes back as itself, for the converter's own messages; a failure comes
// back only when reading, decompressing or keeping a copy fails, or when the
// first kHintBytes of the data to copy hold a NUL byte (see
// looks_compressed_or_binary), which stops an endless binary input at once.
std::variant<DataSource, SourceFailure> open_data_source(std::string_view name, int standard_input = 0);

// What the start of a file shows it to be when it is not text, for a hint
// beside the converter's message ("xz-compressed", "binary (NUL bytes)");
// nullopt for text. Looks at most at the first kHintBytes bytes.
std::optional<std::string> looks_compressed_or_binary(std::string_view first_bytes);

}  // namespace korvan::textio
