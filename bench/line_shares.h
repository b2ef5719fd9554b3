// How well found flight lines match the true ones, sounding by sounding: the
// share with the very same line number, and the share right once each found
// line is taken for the true line it overlaps most (so that one line split
// in two does not make every later number wrong). A sounding in no line
// counts as right where the truth has it in no line too.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace korvan::bench {

struct LineShares {
  double exact = 0;    // found number == true number
  double matched = 0;  // found line's best true line == true number
};

inline LineShares line_shares(std::span<const std::int32_t> found, std::span<const std::int32_t> truth) {
  if (found.empty()) return {1, 1};
  // For each found line, how many of its soundings each true line holds.
  std::unordered_map<std::int32_t, std::unordered_map<std::int32_t, std::int64_t>> overlap;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (found[i] != 0) ++overlap[found[i]][truth[i]];
  }
  std::unordered_map<std::int32_t, std::int32_t> best;
  for (const auto& [line, counts] : overlap) {
    std::int32_t choice = 0;
    std::int64_t most = -1;
    for (const auto& [true_line, count] : counts) {
      if (count > most || (count == most && true_line < choice)) {
        most = count;
        choice = true_line;
      }
    }
    best[line] = choice;
  }
  std::int64_t exact = 0;
  std::int64_t matched = 0;
  for (std::size_t i = 0; i < found.size(); ++i) {
    exact += found[i] == truth[i];
    matched += (found[i] == 0 ? 0 : best[found[i]]) == truth[i];
  }
  const auto n = static_cast<double>(found.size());
  return {static_cast<double>(exact) / n, static_cast<double>(matched) / n};
}

}  // namespace korvan::bench
