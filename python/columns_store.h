// The table's columns as the Python module stores them while the survey is
// read: x and y in double precision, the height and every data column in
// single precision, each in a block of its own that grows as the soundings
// come and that numpy takes over at the end, without a copy. A value the
// file leaves empty, or that a sounding lacks under its column's label, is
// NaN, as it is an empty field of the CSV.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "reader/entries.h"
#include "reader/faults.h"
#include "reader/layout.h"

namespace korvan::python {

// A block of values of one type, grown with realloc: large blocks are the
// system's pages, which cost nothing until written and move without a copy.
class Column {
 public:
  explicit Column(std::size_t element_bytes) : element_bytes_(element_bytes) {}
  Column(Column&& other) noexcept
      : element_bytes_(other.element_bytes_), data_(std::exchange(other.data_, nullptr)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  Column& operator=(Column&& other) noexcept {
    std::swap(element_bytes_, other.element_bytes_);
    std::swap(data_, other.data_);
    std::swap(capacity_, other.capacity_);
    return *this;
  }
  Column(const Column&) = delete;
  Column& operator=(const Column&) = delete;
  ~Column() { std::free(data_); }

  // Room for n values, keeping those held; false when the memory is refused.
  bool reserve(std::int64_t n);
  template <typename T>
  T* as() const {
    return static_cast<T*>(data_);
  }
  // The block, which the caller frees with std::free.
  void* release() {
    capacity_ = 0;
    return std::exchange(data_, nullptr);
  }

 private:
  std::size_t element_bytes_;
  void* data_ = nullptr;
  std::int64_t capacity_ = 0;
};

// A store of the survey reading (reader/survey_reading.h) that keeps the
// table's columns only.
class ColumnsStore {
 public:
  bool make(const reader::FirstSounding& first, std::int64_t capacity);
  bool start(const reader::FirstSounding& first, std::int64_t capacity);
  bool room(std::int64_t isound);

  void sounding(std::int64_t isound, const reader::SoundingEntry& e) {
    const auto i = static_cast<std::size_t>(isound - 1);
    x_.as<double>()[i] = e.x_exact;
    y_.as<double>()[i] = e.y_exact;
  }
  void frequency(const reader::Place&, const reader::FrequencyEntry&) {}
  void transmitter(const reader::Place& p, const reader::TransmitterEntry& e) {
    // The height is the first transmitter's, of the first frequency.
    if (p.ifreq == 1 && p.it == 1) height_.as<float>()[p.isound - 1] = -e.z;
  }
  void receiver(const reader::Place& p, const reader::ReceiverEntry& e) {
    const Placement& at = placements_[first_transmitter_[static_cast<std::size_t>(p.ifreq - 1)] +
                                      static_cast<std::size_t>(p.it - 1)];
    const auto i = static_cast<std::size_t>(p.isound - 1);
    constexpr float kEmpty = std::numeric_limits<float>::quiet_NaN();
    if (at.inphase >= 0) data_[static_cast<std::size_t>(at.inphase)].as<float>()[i] =
        e.component == 'q' ? kEmpty : e.datum.inphase;
    if (at.quadrature >= 0) data_[static_cast<std::size_t>(at.quadrature)].as<float>()[i] =
        e.component == 'i' ? kEmpty : e.datum.quadrature;
  }
  void keep(std::int64_t n) { held_ = n; }
  std::int64_t capacity() const { return capacity_; }
  void copy_in(std::int64_t at, const ColumnsStore& later);

  // The soundings held.
  std::int64_t held() const { return held_; }
  Column& x() { return x_; }
  Column& y() { return y_; }
  Column& height() { return height_; }
  // In the order of the column plan.
  std::vector<Column>& data() { return data_; }

 private:
  // The data columns that a transmitter's receiver fills (-1: none).
  struct Placement {
    int inphase = -1;
    int quadrature = -1;
  };

  template <typename F>
  bool each_column(F f) {
    if (!f(x_) || !f(y_) || !f(height_)) return false;
    for (Column& column : data_) {
      if (!f(column)) return false;
    }
    return true;
  }

  Column x_{sizeof(double)};
  Column y_{sizeof(double)};
  Column height_{sizeof(float)};
  std::vector<Column> data_;
  std::vector<Placement> placements_;           // by transmitter, in file order
  std::vector<std::size_t> first_transmitter_;  // by frequency, into placements_
  std::int64_t held_ = 0;
  std::int64_t capacity_ = 0;
};

}  // namespace korvan::python
