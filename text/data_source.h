// text/: reading text - where the bytes come from (the data sources here,
// byte sources, the input unit) and how values are found in them and
// converted (free-format reading, plain records, value conversion). It uses
// no other room.
//
// The data file as the converter reads it: the name the user gave, opened
// once, and its text read once from the start as it arrives - a regular file
// in place, standard input, a pipe, FIFO or device as its bytes come, a
// gzip-compressed file (recognised by its first bytes, whatever its name)
// inflated on the way, or bytes in memory. Nothing is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "text/byte_source.h"

namespace korvan::text {

// How many of the first bytes are kept for hints, and looked at for a binary
// start in data that are not a regular file.
inline constexpr std::size_t kHintBytes = 4096;

class GzipBytes;

class DataSource final : public ByteSource {
 public:
  enum class State { readable, missing, unreadable };

  // Opens `name` ("-" is standard input, read from `standard_input`). A name
  // that does not exist or cannot be opened gives a source in that state,
  // for the converter's own messages.
  static DataSource open(std::string_view name, int standard_input = 0);
  // Opens the file of that name, "-" too.
  static DataSource open_file(std::string_view name);
  // The descriptor `fd` (not closed with the source) read from `offset` on,
  // leaving its own offset alone; a file is read as a regular one, in place.
  static DataSource from_descriptor(std::string name, int fd, std::uint64_t offset);
  // Bytes as some other reader hands them out, read as a pipe would be.
  static DataSource from_stream(std::string name, std::unique_ptr<ByteSource> bytes);
  // Bytes at hand, read as a regular file would be.
  static DataSource from_bytes(std::string name, std::string bytes);

  DataSource(DataSource&&) noexcept;
  DataSource& operator=(DataSource&&) noexcept;
  ~DataSource() override;

  // The name as given, for messages.
  const std::string& name() const { return name_; }
  State state() const { return state_; }
  // Why the source is missing or unreadable, in the system's words.
  const std::string& state_text() const { return state_text_; }
  // A regular file is read in place and a fault of its data is reported
  // where it is met; anything else (standard input from a pipe, a device,
  // gzip) is read to its end first, so that a failure to read or inflate it
  // comes before any fault of its data.
  bool read_to_end_before_faults() const { return !regular_ || compressed_; }
  // The bytes of a regular file that is read in place, else 0.
  std::uint64_t size_hint() const { return size_hint_; }
  // The first bytes of the text, up to kHintBytes, once read.
  std::string_view head() const { return head_; }

  // The text: a byte-order mark at its start is passed over, and a Ctrl-Z
  // ends it.
  std::size_t read(char* into, std::size_t room) override;
  bool failed() const override { return failure_.has_value(); }
  std::string failure_text() const override { return failure_.value_or(std::string()); }
  // Reads and drops the rest, for its failures only.
  void read_to_end();
  // The zero bytes after the last gzip member, passed over: known once the
  // text has been read to its end.
  std::uint64_t padding_bytes() const;

 private:
  DataSource() = default;
  std::size_t read_raw(char* into, std::size_t room);
  std::size_t deliver(char* into, std::size_t room);
  void start();
  // The raw bytes, whose first ones (`magic`, read already) say whether
  // they are inflated on the way.
  void take(std::string magic, std::unique_ptr<ByteSource> raw);

  std::string name_;
  State state_ = State::readable;
  std::string state_text_;
  std::unique_ptr<ByteSource> bytes_;  // raw, or inflated
  const GzipBytes* gzip_ = nullptr;  // the inflating part of bytes_, if any
  bool regular_ = false;
  bool compressed_ = false;
  std::uint64_t size_hint_ = 0;
  bool started_ = false;
  bool ended_ = false;
  std::string head_;
  std::size_t head_delivered_ = 0;  // of head_, handed out by read()
  std::optional<std::string> failure_;
};

// What the start of a file shows it to be when it is not text, for a hint
// beside the converter's message ("xz-compressed", "binary (NUL bytes)");
// nullopt for text. Looks at most at the first kHintBytes bytes.
std::optional<std::string> looks_compressed_or_binary(std::string_view first_bytes);

}  // namespace korvan::text
