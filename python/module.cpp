// The extension module _korvan2col: one call, _read, which reads a survey on
// a thread of its own with the interpreter's lock released, and hands the
// table's columns to numpy without a copy. The calling thread looks for
// signals about every 100 ms; on one that raises (Ctrl-C), the reading is
// cancelled and ends leaving nothing, and the exception goes on. The package
// (korvan2col/__init__.py) turns the stop into its exceptions.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "console/stop.h"
#include "python/stream_bytes.h"
#include "python/survey_table.h"
#include "reader/read_survey.h"
#include "text/data_source.h"

namespace py = pybind11;

namespace korvan::python {
namespace {

constexpr auto kSignalLook = std::chrono::milliseconds(100);

py::dtype dtype_of(ValueType type) {
  switch (type) {
    case ValueType::int32:
      return py::dtype::of<std::int32_t>();
    case ValueType::float32:
      return py::dtype::of<float>();
    case ValueType::float64:
      break;
  }
  return py::dtype::of<double>();
}

// The column as a numpy array that keeps its block alive.
py::array numpy_column(const TableColumn& column, std::int64_t rows) {
  auto* owner = new std::shared_ptr<void>(column.owner);
  py::capsule keeper(owner, [](void* p) { delete static_cast<std::shared_ptr<void>*>(p); });
  const py::dtype dtype = dtype_of(column.type);
  return py::array(dtype, {static_cast<py::ssize_t>(rows)}, {dtype.itemsize()}, column.values, keeper);
}

py::dict as_python(SurveyTable& table) {
  py::list columns;
  for (const TableColumn& column : table.columns) {
    columns.append(py::make_tuple(column.name, numpy_column(column, table.rows)));
  }
  py::list channels;
  for (const Channel& c : table.channels) {
    channels.append(py::make_tuple(c.name, c.frequency, std::string(1, c.orientation), c.component));
  }
  py::dict result;
  result["columns"] = columns;
  result["channels"] = channels;
  result["warnings"] = py::cast(table.warnings);
  return result;
}

// Reads on another thread while this one, holding the lock only between
// waits, looks for signals.
SurveyTable read_watched(text::DataSource& data, TableRequest request, std::atomic<bool>& cancel) {
  request.cancel = &cancel;
  std::optional<SurveyTable> table;
  std::exception_ptr error;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::thread reading([&] {
    try {
      table = read_table(data, request);
    } catch (...) {
      error = std::current_exception();
    }
    const std::lock_guard lock(mutex);
    done = true;
    ended.notify_all();
  });
  for (;;) {
    {
      const py::gil_scoped_release unlocked;
      std::unique_lock lock(mutex);
      if (ended.wait_for(lock, kSignalLook, [&] { return done; })) break;
    }
    if (PyErr_CheckSignals() != 0) {
      cancel = true;
      {
        const py::gil_scoped_release unlocked;
        reading.join();
      }
      throw py::error_already_set();
    }
  }
  reading.join();
  if (error) std::rethrow_exception(error);
  return std::move(*table);
}

py::dict read(std::optional<std::string> path, std::optional<int> fd, std::uint64_t offset, py::object stream,
              const std::string& name, bool strict, std::optional<double> line_gap, py::object stop_type) {
  std::atomic<bool> cancel{false};
  StreamBytes* stream_bytes = nullptr;
  text::DataSource data = [&] {
    if (path) return text::DataSource::open(*path);
    if (fd) return text::DataSource::from_descriptor(name, *fd, offset);
    auto bytes = std::make_unique<StreamBytes>(stream, cancel);
    stream_bytes = bytes.get();
    return text::DataSource::from_stream(name, std::move(bytes));
  }();
  if (data.state() == text::DataSource::State::missing) {
    PyErr_SetObject(PyExc_FileNotFoundError, py::make_tuple(ENOENT, data.state_text(), *path).ptr());
    throw py::error_already_set();
  }
  TableRequest request;
  request.strict = strict;
  request.line_gap = line_gap;
  try {
    SurveyTable table = read_watched(data, request, cancel);
    return as_python(table);
  } catch (const console::FatalStop& stop) {
    if (stream_bytes != nullptr && stream_bytes->raised()) {
      stream_bytes->raised()->restore();
      throw py::error_already_set();
    }
    PyErr_SetObject(stop_type.ptr(), py::make_tuple(stop.console_line(), stop.details()).ptr());
    throw py::error_already_set();
  }
}

}  // namespace
}  // namespace korvan::python

PYBIND11_MODULE(_korvan2col, module) {
  module.doc() = "The reading of KORVAN predicted-data files for the korvan2col package.";
  module.def("_read", &korvan::python::read, py::arg("path"), py::arg("fd"), py::arg("offset"), py::arg("stream"),
             py::arg("name"), py::arg("strict"), py::arg("line_gap"), py::arg("stop_type"));
}
