// One zeroed block for all seventeen arrays, carved in their fixed order.
#include "reader/sounding_arrays.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include <sys/mman.h>
#include <unistd.h>

namespace korvan::reader {
namespace {

// a * b, or nullopt past 2^63.
std::optional<std::uint64_t> times(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product) || product > (std::uint64_t{1} << 63)) return std::nullopt;
  return product;
}

}  // namespace

void SoundingArrays::FreeBlock::operator()(void* p) const { std::free(p); }

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

std::optional<SoundingArrays> allocate_sounding_arrays(const Dimensions& dims) {
  const std::optional<std::uint64_t> bytes = sounding_array_bytes(dims);
  if (!bytes || *bytes > kMaxArrayBytes) return std::nullopt;

  // Each array takes the last of these extents that its rank needs, and its
  // place in the block in the fixed order, on an 8-byte boundary.
  const std::array<std::int64_t, 4> extents = {dims.maxrx, dims.maxtx, dims.maxfreq, dims.nsound};
  SoundingArrays a;
  a.dims = dims;
  std::uint64_t total = 0;
  std::array<std::uint64_t, 17> offsets{};
  std::size_t count = 0;
  a.for_each_array([&](auto& array) {
    using Array = std::remove_reference_t<decltype(array)>;
    std::array<std::int64_t, Array::kRank> shape{};
    std::copy(extents.end() - Array::kRank, extents.end(), shape.begin());
    array = Array(nullptr, shape);
    offsets[count++] = total;
    total += (static_cast<std::uint64_t>(array.size()) * sizeof(typename Array::value_type) + 7) & ~std::uint64_t{7};
  });

  // calloc hands out fresh zero pages from the system for large blocks, so
  // nothing is touched until the load writes it.
  void* block = std::calloc(static_cast<std::size_t>(total == 0 ? 1 : total), 1);
  if (block == nullptr) return std::nullopt;
  a.block_.reset(block);
  std::size_t next = 0;
  a.for_each_array([&](auto& array) {
    using Array = std::remove_reference_t<decltype(array)>;
    array.place(reinterpret_cast<typename Array::value_type*>(static_cast<unsigned char*>(block) + offsets[next++]));
  });
  return a;
}

namespace {

// Gives the whole pages in [begin, end) back to the system; they read as
// zeros if touched again.
void release_pages(unsigned char* begin, unsigned char* end) {
#if defined(MADV_DONTNEED)
  static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t into_first = reinterpret_cast<std::uintptr_t>(begin) % page;
  const std::uintptr_t to_first = into_first == 0 ? 0 : page - into_first;
  if (static_cast<std::uintptr_t>(end - begin) <= to_first) return;
  unsigned char* const first = begin + to_first;
  unsigned char* const last = end - reinterpret_cast<std::uintptr_t>(end) % page;
  if (first < last) (void)::madvise(first, static_cast<std::size_t>(last - first), MADV_DONTNEED);
#else
  (void)begin;
  (void)end;
#endif
}

}  // namespace

void SoundingArrays::keep_exact_coordinates() {
  const auto n = static_cast<std::size_t>(soundx.size());
  void* const block = std::calloc(2 * n + 1, sizeof(double));
  if (block == nullptr) throw std::bad_alloc();
  exact_block_.reset(block);
  soundx_exact = {static_cast<double*>(block), n};
  soundy_exact = {static_cast<double*>(block) + n, n};
}

void SoundingArrays::move_soundings(std::span<const Move> moves, std::int64_t keep, int part, int parts) {
  if (part == 0 && !soundx_exact.empty()) {
    for (const Move& move : moves) {
      for (const std::span<double> exact : {soundx_exact, soundy_exact}) {
        std::copy(exact.begin() + move.from - 1, exact.begin() + move.from - 1 + move.count, exact.begin() + move.to - 1);
      }
    }
  }
  int index = 0;
  for_each_array([&](auto& array) {
    if (index++ % parts != part) return;
    const auto bytes = static_cast<std::int64_t>(array.slice() * sizeof(*array.data()));
    auto* const base = reinterpret_cast<unsigned char*>(array.data());
    const auto at = [&](std::int64_t isound) { return base + (isound - 1) * bytes; };
    for (const Move& move : moves) {
      if (move.count <= 0 || move.from == move.to) continue;
      std::memmove(at(move.to), at(move.from), static_cast<std::size_t>(move.count * bytes));
      const std::int64_t left = std::max({move.from, move.to + move.count, keep + 1});
      if (left < move.from + move.count) release_pages(at(left), at(move.from + move.count));
    }
  });
}

void SoundingArrays::keep_soundings(std::int32_t n) {
  for_each_array([n](auto& array) { array.set_last_extent(n); });
  if (!soundx_exact.empty()) {
    soundx_exact = soundx_exact.first(static_cast<std::size_t>(n));
    soundy_exact = soundy_exact.first(static_cast<std::size_t>(n));
  }
  dims.nsound = n;
}

}  // namespace korvan::reader
