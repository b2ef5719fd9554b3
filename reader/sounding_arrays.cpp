// Seventeen blocks, one per array, each grown at its end as soundings come.
#include "reader/sounding_arrays.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace korvan::reader {
namespace {

// a * b, or nullopt past 2^63.
std::optional<std::uint64_t> times(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product) || product > (std::uint64_t{1} << 63)) return std::nullopt;
  return product;
}

// Bytes of one array for `soundings` soundings, or nullopt past the limit.
template <typename Array>
std::optional<std::size_t> array_bytes(const Array& array, std::int64_t soundings) {
  const auto bytes = times(static_cast<std::uint64_t>(array.slice()) * sizeof(typename Array::value_type),
                           static_cast<std::uint64_t>(soundings));
  if (!bytes || *bytes > kMaxArrayBytes) return std::nullopt;
  return static_cast<std::size_t>(*bytes == 0 ? 1 : *bytes);
}

}  // namespace

void SoundingArrays::Free::operator()(void* p) const { std::free(p); }

std::optional<std::uint64_t> sounding_array_bytes(const Dimensions& dims) {
  if (dims.nsound < 0 || dims.maxfreq < 0 || dims.maxtx < 0 || dims.maxrx < 0) return std::nullopt;
  const auto n1 = static_cast<std::uint64_t>(dims.nsound);
  const auto n2 = times(n1, static_cast<std::uint64_t>(dims.maxfreq));
  if (!n2) return std::nullopt;
  const auto n3 = times(*n2, static_cast<std::uint64_t>(dims.maxtx));
  if (!n3) return std::nullopt;
  const auto n4 = times(*n3, static_cast<std::uint64_t>(dims.maxrx));
  if (!n4) return std::nullopt;
  const auto b1 = times(n1, 12);
  const auto b2 = times(*n2, 8);
  const auto b3 = times(*n3, 13);
  const auto b4 = times(*n4, 30);
  if (!b1 || !b2 || !b3 || !b4) return std::nullopt;
  std::uint64_t total = 0;
  for (const std::uint64_t part : {*b1, *b2, *b3, *b4}) {
    if (__builtin_add_overflow(total, part, &total)) return std::nullopt;
  }
  return total;
}

bool sounding_arrays_fit(const Dimensions& dims) {
  const std::optional<std::uint64_t> bytes = sounding_array_bytes(dims);
  if (!bytes || *bytes > kMaxArrayBytes) return false;
  // calloc hands out fresh zero pages for large blocks: nothing is touched.
  void* block = std::calloc(static_cast<std::size_t>(*bytes == 0 ? 1 : *bytes), 1);
  std::free(block);
  return block != nullptr;
}

std::optional<SoundingArrays> allocate_sounding_arrays(const Dimensions& extents, std::int64_t capacity,
                                                       bool exact_coordinates) {
  // Each array takes the last of these extents that its rank needs.
  const std::array<std::int64_t, 4> shape4 = {extents.maxrx, extents.maxtx, extents.maxfreq, 0};
  SoundingArrays a;
  a.dims = extents;
  a.dims.nsound = 0;
  a.for_each_array([&](auto& array) {
    using Array = std::remove_reference_t<decltype(array)>;
    std::array<std::int64_t, Array::kRank> shape{};
    std::copy(shape4.end() - Array::kRank, shape4.end(), shape.begin());
    array = Array(nullptr, shape);
  });
  a.exact_ = exact_coordinates;
  if (!a.reserve(capacity < 1 ? 1 : capacity)) return std::nullopt;
  return a;
}

bool SoundingArrays::reserve(std::int64_t isound) {
  if (isound <= capacity_) return true;
  // Half as much again each time: few moves, and the pages not yet written
  // cost nothing.
  const std::int64_t capacity = std::max(isound, capacity_ + capacity_ / 2);
  std::size_t next = 0;
  bool refused = false;
  for_each_array([&](auto& array) {
    Block& block = blocks_[next++];
    if (refused) return;
    const std::optional<std::size_t> bytes = array_bytes(array, capacity);
    void* grown = bytes ? std::realloc(block.get(), *bytes) : nullptr;
    if (grown == nullptr) {
      refused = true;
      return;
    }
    (void)block.release();
    block.reset(grown);
    array.place(static_cast<typename std::remove_reference_t<decltype(array)>::value_type*>(grown));
  });
  for (std::size_t i = 0; i < exact_blocks_.size() && exact_ && !refused; ++i) {
    const std::optional<std::uint64_t> bytes = times(static_cast<std::uint64_t>(capacity), sizeof(double));
    void* grown = bytes && *bytes <= kMaxArrayBytes ? std::realloc(exact_blocks_[i].get(), *bytes) : nullptr;
    if (grown == nullptr) {
      refused = true;
      break;
    }
    (void)exact_blocks_[i].release();
    exact_blocks_[i].reset(grown);
  }
  if (refused) return false;
  capacity_ = capacity;
  keep_soundings(dims.nsound);
  return true;
}

void SoundingArrays::copy_in(std::int64_t at, const SoundingArrays& other) {
  const auto held = static_cast<std::size_t>(at);
  const auto count = static_cast<std::size_t>(other.dims.nsound);
  std::size_t next = 0;
  for_each_array([&](auto& array) {
    const auto slice = static_cast<std::size_t>(array.slice()) * sizeof(*array.data());
    std::memcpy(reinterpret_cast<unsigned char*>(array.data()) + held * slice, other.blocks_[next++].get(),
                count * slice);
  });
  for (std::size_t i = 0; i < exact_blocks_.size() && exact_; ++i) {
    std::memcpy(static_cast<double*>(exact_blocks_[i].get()) + held, other.exact_blocks_[i].get(),
                count * sizeof(double));
  }
}

void SoundingArrays::keep_soundings(std::int32_t n) {
  for_each_array([n](auto& array) { array.set_last_extent(n); });
  if (exact_) {
    soundx_exact = {static_cast<double*>(exact_blocks_[0].get()), static_cast<std::size_t>(n)};
    soundy_exact = {static_cast<double*>(exact_blocks_[1].get()), static_cast<std::size_t>(n)};
  }
  dims.nsound = n;
}

}  // namespace korvan::reader
