// Finding where pieces of a file may start.
#include "reader/pieces.h"

#include <array>

#include "reader/entry_walk.h"
#include "textio/input_unit.h"

namespace korvan::reader {
namespace {

// A candidate start must carry this many sounding entries without a fault,
// within this many bytes.
constexpr std::int64_t kTrialSoundings = 4;
constexpr std::uint64_t kTrialBytes = std::uint64_t{4} << 20;
constexpr int kTrialLines = 64;
// A few soundings are read from each candidate: small buffers, one of them
// reused, keep a search cheap enough to make several.
constexpr std::size_t kTrialBuffer = std::size_t{64} << 10;

// The pieces after the first start near these fractions of the file (in
// 1/100): two large pieces, then small ones.
constexpr std::array<std::uint64_t, 11> kPieceStarts = {35, 70, 73, 76, 79, 82, 85, 88, 91, 94, 97};

}  // namespace

std::optional<std::uint64_t> find_sounding_start(const std::string& path, std::uint64_t offset,
                                                 const std::atomic<bool>& cancel) {
  textio::InputUnit cursor(kTrialBuffer);
  textio::InputUnit trial_unit(kTrialBuffer);
  std::string_view line;
  // The line that holds `offset` is partial; candidates begin after it.
  if (cursor.open(path, offset) != textio::IoStatus::ok || cursor.next_record(line) != textio::IoStatus::ok) {
    return std::nullopt;
  }
  for (int attempt = 0; attempt < kTrialLines; ++attempt) {
    // A piece's reader compares its position with the next piece's start
    // after passing blank lines, so a start is never a blank line.
    cursor.skip_blank_records();
    const std::uint64_t candidate = cursor.position();
    if (trial_unit.is_open()) (void)trial_unit.close();
    if (trial_unit.open(path, candidate) != textio::IoStatus::ok) return std::nullopt;
    EntryReader in(trial_unit);
    EntryWalk::Limits trial;
    trial.soundings = kTrialSoundings;
    trial.bytes_end = candidate + kTrialBytes;
    trial.cancel = &cancel;
    const WalkOutcome outcome = EntryWalk(in, Pass::scan).run(1, trial);
    if (!outcome.fault && !outcome.deferred && outcome.soundings > 0 && outcome.end != WalkOutcome::End::cancelled) {
      return candidate;
    }
    if (cursor.next_record(line) != textio::IoStatus::ok) return std::nullopt;
  }
  return std::nullopt;
}

std::vector<std::uint64_t> plan_piece_starts(const std::string& path, std::uint64_t file_bytes, std::uint64_t after,
                                             const std::atomic<bool>& cancel) {
  std::vector<std::uint64_t> starts;
  for (const std::uint64_t percent : kPieceStarts) {
    const std::optional<std::uint64_t> start = find_sounding_start(path, file_bytes / 100 * percent, cancel);
    if (start && *start > after && (starts.empty() || *start > starts.back())) starts.push_back(*start);
  }
  return starts;
}

}  // namespace korvan::reader
