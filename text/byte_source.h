// Bytes read in order as they arrive, whatever gives them: a file or pipe
// descriptor, or bytes in memory. Record input (input_unit.h) and the data
// sources (data_source.h) read through this one interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvan::text {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `room` bytes into `into`; 0 at the end of the bytes or after a
  // failure, which failed() then tells.
  virtual std::size_t read(char* into, std::size_t room) = 0;
  virtual bool failed() const = 0;
  // Why reading failed, in the system's words.
  virtual std::string failure_text() const = 0;
};

// A descriptor read with read(2): a regular file, a pipe, a device. The
// descriptor is closed with the source when `owned`.
class DescriptorBytes final : public ByteSource {
 public:
  explicit DescriptorBytes(int fd, bool owned = false) : fd_(fd), owned_(owned) {}
  ~DescriptorBytes() override;
  DescriptorBytes(const DescriptorBytes&) = delete;
  DescriptorBytes& operator=(const DescriptorBytes&) = delete;

  std::size_t read(char* into, std::size_t room) override;
  bool failed() const override { return error_ != 0; }
  std::string failure_text() const override;
  int fd() const { return fd_; }

 private:
  int fd_;
  bool owned_;
  int error_ = 0;
};

// A descriptor read from `offset` on with pread(2), which leaves the
// descriptor's own offset alone for whoever shares it (a Python file
// object); one that cannot seek is read with read(2) from where it is.
class PositionedBytes final : public ByteSource {
 public:
  PositionedBytes(int fd, std::uint64_t offset) : fd_(fd), offset_(offset) {}
  std::size_t read(char* into, std::size_t room) override;
  bool failed() const override { return error_ != 0; }
  std::string failure_text() const override;

 private:
  int fd_;
  std::uint64_t offset_;
  bool positioned_ = true;
  int error_ = 0;
};

// Bytes held in memory, read once.
class MemoryBytes final : public ByteSource {
 public:
  explicit MemoryBytes(std::string bytes) : bytes_(std::move(bytes)) {}
  std::size_t read(char* into, std::size_t room) override;
  bool failed() const override { return false; }
  std::string failure_text() const override { return {}; }

 private:
  std::string bytes_;
  std::size_t at_ = 0;
};

}  // namespace korvan::text
