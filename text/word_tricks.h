// Eight (or sixteen) characters at a time: the bit tricks behind the quick
// reading of plain numbers and the comparison of repeated line starts. Each
// says where it comes from or why it is right; callers use them as ordinary
// functions.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvan::text {

// Eight characters at p, the first in the lowest byte.
inline std::uint64_t load_eight(const char* p) {
  std::uint64_t v = 0;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// A non-zero high nibble bit in every byte of v that is not an ASCII digit.
// The digit test of SWAR number parsers: a digit is 0x30-0x39, so its high
// nibble is 3, and adding 6 keeps it 3. A byte above 0xF9 carries into the
// next one when nudged, but it is no digit itself, so a count of leading
// digits is still right.
inline std::uint64_t non_digit_bits(std::uint64_t v) {
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
  constexpr std::uint64_t kThrees = 0x3030303030303030;
  return ((v & kHigh) ^ kThrees) | (((v + 0x0606060606060606) & kHigh) ^ kThrees);
}

// How many of the eight characters in v, from the first, are digits.
inline int digit_run(std::uint64_t v) {
  const std::uint64_t other = non_digit_bits(v);
  return other == 0 ? 8 : std::countr_zero(other) / 8;
}

// The top bit of every byte of v that is not zero, or that is zero: the
// exact form of "does a word have a zero byte" from the Bit Twiddling Hacks
// collection (no carries between bytes, so no false positives).
inline constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
inline std::uint64_t nonzero_bytes(std::uint64_t v) { return (((v & kLow7) + kLow7) | v) & ~kLow7; }
inline std::uint64_t zero_bytes(std::uint64_t v) { return ~((((v & kLow7) + kLow7) | v) | kLow7); }

// The bytes of an eight-byte word below byte n (0 to 8).
inline std::uint64_t bytes_below(int n) { return n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1; }

// The value of the first n (1 to 8) characters of v, all digits: the digits
// are moved to the top, the bytes below them count as leading zeros, and
// three multiplications combine pairs, fours and the eight (the SWAR digit
// conversion of fast float parsers: 2561 = 10 * 2^8 + 1, 6553601 =
// 100 * 2^16 + 1, 42949672960001 = 10000 * 2^32 + 1).
inline std::uint32_t digits_value(std::uint64_t v, int n) {
  v <<= 8 * (8 - n);
  v = (v & 0x0F0F0F0F0F0F0F0F) * 2561 >> 8;
  v = (v & 0x00FF00FF00FF00FF) * 6553601 >> 16;
  return static_cast<std::uint32_t>((v & 0x0000FFFF0000FFFF) * 42949672960001 >> 32);
}

// The longest text same_chars compares; both texts must have this many
// readable bytes.
inline constexpr std::size_t kSameCharsMax = 32;

// Whether the first n (at most kSameCharsMax) characters at a and b are the
// same: two byte-wise comparisons of sixteen bytes and their masks, without
// a call.
[[gnu::always_inline]] inline bool same_chars(const char* a, const char* b, std::size_t n) {
#if defined(__SSE2__)
  static_assert(kSameCharsMax == 32, "two sixteen-byte comparisons");
  const auto equal = [a, b](int at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))));
  };
  const std::uint64_t wanted = (std::uint64_t{1} << n) - 1;
  return ((equal(0) | equal(16) << 16) & wanted) == wanted;
#else
  return std::memcmp(a, b, n) == 0;
#endif
}

}  // namespace korvan::text
