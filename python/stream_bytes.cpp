// Each chunk is read into the reader's own buffer through a memoryview on
// it, released at once so that the stream keeps no hold on that memory.
#include "python/stream_bytes.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace py = pybind11;

namespace korvan::python {

StreamBytes::~StreamBytes() {
  const py::gil_scoped_acquire gil;
  stream_ = py::object();
  raised_.reset();
}

std::size_t StreamBytes::read(char* into, std::size_t room) {
  if (failure_ || cancel_.load()) return 0;
  const py::gil_scoped_acquire gil;
  try {
    if (py::hasattr(stream_, "readinto")) {
      py::memoryview view = py::memoryview::from_memory(into, static_cast<py::ssize_t>(room));
      const py::object got = stream_.attr("readinto")(view);
      view.attr("release")();
      // None: a non-blocking stream with nothing at hand, taken as its end.
      return got.is_none() ? 0 : std::min(room, got.cast<std::size_t>());
    }
    const py::bytes got = stream_.attr("read")(room);
    const std::string_view bytes = got;
    const std::size_t n = std::min(room, bytes.size());
    std::memcpy(into, bytes.data(), n);
    return n;
  } catch (py::error_already_set& error) {
    failure_ = error.what();
    raised_ = std::move(error);
    return 0;
  }
}

}  // namespace korvan::python
