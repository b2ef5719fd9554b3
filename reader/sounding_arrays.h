// The seventeen arrays that hold one predicted-data file in memory, indexed
// from 1 with the first index varying fastest, each carrying its extents.
// The sounding index is every array's slowest, so the soundings of a file
// are added at each array's end as they are read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>

namespace korvan::reader {

// A view of one array inside the block that SoundingArrays owns.
template <typename T, std::size_t Rank>
class FortranArray {
 public:
  using value_type = T;
  static constexpr std::size_t kRank = Rank;

  FortranArray() = default;
  FortranArray(T* data, std::array<std::int64_t, Rank> extents) : data_(data), extents_(extents) {}

  std::int64_t size() const {
    std::int64_t n = 1;
    for (const std::int64_t e : extents_) n *= e;
    return n;
  }

  // Indices from 1; the caller keeps each within its extent.
  template <typename... Index>
  T& operator()(Index... index) const {
    return data_[linear_index(index...)];
  }

  // Position of an element in storage order; arrays of the same extents
  // share it, so one computation serves all of them.
  template <typename... Index>
  std::int64_t linear_index(Index... index) const {
    static_assert(sizeof...(Index) == Rank);
    const std::int64_t idx[] = {static_cast<std::int64_t>(index)...};
    std::int64_t offset = 0;
    // From the last index to the first, written out: this runs for every
    // value read and every field written.
    [&]<std::size_t... d>(std::index_sequence<d...>) {
      ((offset = offset * extents_[Rank - 1 - d] + (idx[Rank - 1 - d] - 1)), ...);
    }(std::make_index_sequence<Rank>{});
    return offset;
  }
  T& at(std::int64_t linear) const { return data_[linear]; }

  // Elements of one sounding, the last (slowest) index.
  std::int64_t slice() const {
    std::int64_t n = 1;
    for (std::size_t d = 0; d + 1 < Rank; ++d) n *= extents_[d];
    return n;
  }
  void set_last_extent(std::int64_t n) { extents_[Rank - 1] = n; }
  void place(T* data) { data_ = data; }

  T* data() const { return data_; }

 private:
  T* data_ = nullptr;
  std::array<std::int64_t, Rank> extents_{};
};

using Real = float;
using Letter = char;
// A predicted datum: the complex value's real part (in-phase) and imaginary
// part (quadrature).
struct Datum {
  float inphase;
  float quadrature;
};

// The four dimensions found by the scan.
struct Dimensions {
  std::int32_t nsound = 0;
  std::int32_t maxfreq = 0;
  std::int32_t maxtx = 0;
  std::int32_t maxrx = 0;
};

// Arrays bigger than this are refused without asking the system.
inline constexpr std::uint64_t kMaxArrayBytes = std::uint64_t{1} << 47;

// The seventeen arrays with the extents of the soundings they hold, which
// grow in soundings as a reading stores more of them.
struct SoundingArrays {
  FortranArray<Real, 1> soundx;
  FortranArray<Real, 1> soundy;
  FortranArray<std::int32_t, 1> nfreqs;
  FortranArray<Real, 2> freq;
  FortranArray<std::int32_t, 2> nt;
  FortranArray<Real, 3> momt;
  FortranArray<Real, 3> zt;
  FortranArray<Letter, 3> ot;
  FortranArray<std::int32_t, 3> nr;
  FortranArray<Real, 4> momr;
  FortranArray<Real, 4> trx;
  FortranArray<Real, 4> try_;  // "try" and "or" are reserved words in C++
  FortranArray<Real, 4> zr;
  FortranArray<Letter, 4> or_;
  FortranArray<Datum, 4> prd;
  FortranArray<std::int32_t, 4> ontype;
  FortranArray<Letter, 4> octype;

  // The extents; nsound is the soundings held.
  Dimensions dims;

  // The coordinates as written, in double precision, for output that shows
  // every digit (index 0 for sounding 1): empty unless the arrays were made
  // with them.
  std::span<double> soundx_exact;
  std::span<double> soundy_exact;

  // Calls f on each of the seventeen arrays, in order.
  template <typename F>
  void for_each_array(F f) {
    f(soundx), f(soundy), f(nfreqs), f(freq), f(nt), f(momt), f(zt), f(ot), f(nr);
    f(momr), f(trx), f(try_), f(zr), f(or_), f(prd), f(ontype), f(octype);
  }

  // Room for soundings up to `isound`: every array grows, keeping what it
  // holds. False when the memory is refused.
  bool reserve(std::int64_t isound);
  // The soundings there is room for.
  std::int64_t capacity() const { return capacity_; }
  // Copies the soundings `other` holds (of the same extents) to follow the
  // first `at`, within the room there is. Touches neither the extents nor
  // the soundings held, so it may run on another thread beside
  // keep_soundings - never beside reserve.
  void copy_in(std::int64_t at, const SoundingArrays& other);
  // Holds the first n soundings (n at most those stored).
  void keep_soundings(std::int32_t n);

  SoundingArrays() = default;
  SoundingArrays(SoundingArrays&&) noexcept = default;
  SoundingArrays& operator=(SoundingArrays&&) noexcept = default;

 private:
  friend std::optional<SoundingArrays> allocate_sounding_arrays(const Dimensions&, std::int64_t, bool);
  struct Free {
    void operator()(void* p) const;
  };
  using Block = std::unique_ptr<void, Free>;
  std::array<Block, 17> blocks_;
  std::array<Block, 2> exact_blocks_;
  bool exact_ = false;
  std::int64_t capacity_ = 0;
};

// Total bytes of the seventeen arrays, or nullopt when it cannot be
// represented: 12*n1 + 8*n2 + 13*n3 + 30*n4 with n1 = nsound,
// n2 = n1*maxfreq, n3 = n2*maxtx, n4 = n3*maxrx.
std::optional<std::uint64_t> sounding_array_bytes(const Dimensions& dims);

// Arrays of the given extents holding no soundings yet, with room for
// `capacity` (and the coordinates in double precision too, with
// `exact_coordinates`). nullopt when the memory is refused.
std::optional<SoundingArrays> allocate_sounding_arrays(const Dimensions& extents, std::int64_t capacity,
                                                       bool exact_coordinates);

// Whether the system would give the memory that arrays of these extents
// need, all at once; asked and given back at once, touching nothing.
bool sounding_arrays_fit(const Dimensions& dims);

}  // namespace korvan::reader
