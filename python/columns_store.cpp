// The columns' blocks and where each receiver's values go, decided once
// from sounding 1 by the column plan that names the CSV's columns.
#include "python/columns_store.h"

#include <algorithm>
#include <cstring>

#include "table/column_plan.h"

namespace korvan::python {

bool Column::reserve(std::int64_t n) {
  if (n <= capacity_) return true;
  void* grown = std::realloc(data_, static_cast<std::size_t>(n) * element_bytes_);
  if (grown == nullptr) return false;
  data_ = grown;
  capacity_ = n;
  return true;
}

bool ColumnsStore::make(const reader::FirstSounding& first, std::int64_t capacity) {
  // Sounding 1 holds only b, i and q once it is stored, so the plan makes no stop.
  const table::ColumnPlan plan = table::make_column_plan(first);
  first_transmitter_ = first.first_transmitter;
  placements_.assign(first.transmitters.size(), Placement{});
  data_.clear();
  for (std::size_t c = 0; c < plan.size(); ++c) {
    Placement& at = placements_[first.transmitter_index(plan[c].ifreq, plan[c].it)];
    (plan[c].inphase ? at.inphase : at.quadrature) = static_cast<int>(c);
    data_.emplace_back(sizeof(float));
  }
  held_ = 0;
  capacity_ = 0;
  return room(std::max<std::int64_t>(capacity, 1));
}

bool ColumnsStore::start(const reader::FirstSounding& first, std::int64_t capacity) {
  if (!make(first, capacity)) return false;
  sounding(1, first.sounding);
  for (std::int32_t ifreq = 1; ifreq <= first.nfreq(); ++ifreq) {
    for (std::int32_t it = 1; it <= first.ntx(ifreq); ++it) {
      transmitter({1, ifreq, it}, first.transmitter(ifreq, it));
      receiver({1, ifreq, it, 1}, first.receiver(ifreq, it));
    }
  }
  keep(1);
  return true;
}

bool ColumnsStore::room(std::int64_t isound) {
  if (isound <= capacity_) return true;
  // Half as much again each time: few moves, and pages not yet written
  // cost nothing.
  const std::int64_t capacity = std::max(isound, capacity_ + capacity_ / 2);
  if (!each_column([capacity](Column& column) { return column.reserve(capacity); })) return false;
  capacity_ = capacity;
  return true;
}

void ColumnsStore::copy_in(std::int64_t at, const ColumnsStore& later) {
  const auto copy = [at, count = later.held_](Column& into, const Column& from, std::size_t bytes) {
    std::memcpy(into.as<char>() + static_cast<std::size_t>(at) * bytes, from.as<char>(),
                static_cast<std::size_t>(count) * bytes);
  };
  copy(x_, later.x_, sizeof(double));
  copy(y_, later.y_, sizeof(double));
  copy(height_, later.height_, sizeof(float));
  for (std::size_t c = 0; c < data_.size(); ++c) copy(data_[c], later.data_[c], sizeof(float));
}

}  // namespace korvan::python
