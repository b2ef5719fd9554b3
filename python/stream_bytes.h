// Bytes from a Python binary file object (gzip.GzipFile, io.BytesIO, ...)
// that has no descriptor to read through, for a survey read on a thread
// without the interpreter's lock.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "text/byte_source.h"

namespace korvan::python {

// A Python binary stream read through readinto() (or read()), taking the
// interpreter's lock for each chunk only. An exception the stream raises
// ends the bytes as a failure and is kept, to be raised again.
class StreamBytes final : public text::ByteSource {
 public:
  // Reads nothing more once `cancel` turns true.
  StreamBytes(pybind11::object stream, const std::atomic<bool>& cancel)
      : stream_(std::move(stream)), cancel_(cancel) {}
  ~StreamBytes() override;
  StreamBytes(const StreamBytes&) = delete;
  StreamBytes& operator=(const StreamBytes&) = delete;

  std::size_t read(char* into, std::size_t room) override;
  bool failed() const override { return failure_.has_value(); }
  std::string failure_text() const override { return failure_.value_or(std::string()); }

  // The exception the stream raised, if it raised one.
  std::optional<pybind11::error_already_set>& raised() { return raised_; }

 private:
  pybind11::object stream_;
  const std::atomic<bool>& cancel_;
  std::optional<std::string> failure_;
  std::optional<pybind11::error_already_set> raised_;
};

}  // namespace korvan::python
