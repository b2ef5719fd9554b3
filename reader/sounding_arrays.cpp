// One zeroed block for all seventeen arrays, carved in their fixed order.
#include "reader/sounding_arrays.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

// Offsets in the block; each array starts on an 8-byte boundary.
struct Carver {
  std::uint64_t offset = 0;
  std::uint64_t take(std::uint64_t bytes) {
    const std::uint64_t start = offset;
    offset += (bytes + 7) & ~std::uint64_t{7};
    return start;
  }
};

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

  const std::int64_t n1 = dims.nsound;
  const std::int64_t f = dims.maxfreq;
  const std::int64_t t = dims.maxtx;
  const std::int64_t r = dims.maxrx;
  const auto c1 = static_cast<std::uint64_t>(n1);
  const auto c2 = c1 * static_cast<std::uint64_t>(f);
  const auto c3 = c2 * static_cast<std::uint64_t>(t);
  const auto c4 = c3 * static_cast<std::uint64_t>(r);

  Carver carve;
  const std::uint64_t o_soundx = carve.take(4 * c1);
  const std::uint64_t o_soundy = carve.take(4 * c1);
  const std::uint64_t o_nfreqs = carve.take(4 * c1);
  const std::uint64_t o_freq = carve.take(4 * c2);
  const std::uint64_t o_nt = carve.take(4 * c2);
  const std::uint64_t o_momt = carve.take(4 * c3);
  const std::uint64_t o_zt = carve.take(4 * c3);
  const std::uint64_t o_ot = carve.take(c3);
  const std::uint64_t o_nr = carve.take(4 * c3);
  const std::uint64_t o_momr = carve.take(4 * c4);
  const std::uint64_t o_trx = carve.take(4 * c4);
  const std::uint64_t o_try = carve.take(4 * c4);
  const std::uint64_t o_zr = carve.take(4 * c4);
  const std::uint64_t o_or = carve.take(c4);
  const std::uint64_t o_prd = carve.take(8 * c4);
  const std::uint64_t o_ontype = carve.take(4 * c4);
  const std::uint64_t o_octype = carve.take(c4);
  if (carve.offset > kMaxArrayBytes + 64) return std::nullopt;

  // calloc hands out fresh zero pages from the system for large blocks, so
  // nothing is touched until the load writes it.
  void* block = std::calloc(static_cast<std::size_t>(carve.offset == 0 ? 1 : carve.offset), 1);
  if (block == nullptr) return std::nullopt;
  auto* base = static_cast<unsigned char*>(block);
  auto at = [base](std::uint64_t offset) { return base + offset; };

  SoundingArrays a;
  a.block_.reset(block);
  a.dims = dims;
  a.soundx = {reinterpret_cast<Real*>(at(o_soundx)), {n1}};
  a.soundy = {reinterpret_cast<Real*>(at(o_soundy)), {n1}};
  a.nfreqs = {reinterpret_cast<std::int32_t*>(at(o_nfreqs)), {n1}};
  a.freq = {reinterpret_cast<Real*>(at(o_freq)), {f, n1}};
  a.nt = {reinterpret_cast<std::int32_t*>(at(o_nt)), {f, n1}};
  a.momt = {reinterpret_cast<Real*>(at(o_momt)), {t, f, n1}};
  a.zt = {reinterpret_cast<Real*>(at(o_zt)), {t, f, n1}};
  a.ot = {reinterpret_cast<Letter*>(at(o_ot)), {t, f, n1}};
  a.nr = {reinterpret_cast<std::int32_t*>(at(o_nr)), {t, f, n1}};
  a.momr = {reinterpret_cast<Real*>(at(o_momr)), {r, t, f, n1}};
  a.trx = {reinterpret_cast<Real*>(at(o_trx)), {r, t, f, n1}};
  a.try_ = {reinterpret_cast<Real*>(at(o_try)), {r, t, f, n1}};
  a.zr = {reinterpret_cast<Real*>(at(o_zr)), {r, t, f, n1}};
  a.or_ = {reinterpret_cast<Letter*>(at(o_or)), {r, t, f, n1}};
  a.prd = {reinterpret_cast<Datum*>(at(o_prd)), {r, t, f, n1}};
  a.ontype = {reinterpret_cast<std::int32_t*>(at(o_ontype)), {r, t, f, n1}};
  a.octype = {reinterpret_cast<Letter*>(at(o_octype)), {r, t, f, n1}};
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

void SoundingArrays::move_soundings(std::span<const Move> moves, std::int64_t keep, int part, int parts) {
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
  dims.nsound = n;
}

}  // namespace korvan::reader
