// The one way the reader shares work between two threads. A large file is
// cut into pieces that start at confirmed sounding starts; each thread takes
// the next piece as soon as it is free (two large pieces first, then small
// ones, so that a thread that runs slower reads less), and the caller joins
// the pieces' results in file order, so that the first fault in the file is
// the one reported, numbered from the file's start.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace korvan::reader {

// Files from this size on are read in pieces.
inline constexpr std::uint64_t kPiecesMinimumBytes = std::uint64_t{16} << 20;

// A line after `offset` that starts a run of well-formed sounding entries,
// where the reading of a piece may start; nullopt when none is found near.
std::optional<std::uint64_t> find_sounding_start(const std::string& path, std::uint64_t offset,
                                                 const std::atomic<bool>& cancel);

// The starts of the pieces after the first: sounding starts found near fixed
// fractions of a file of `file_bytes`, all past `after`, increasing.
std::vector<std::uint64_t> plan_piece_starts(const std::string& path, std::uint64_t file_bytes, std::uint64_t after,
                                             const std::atomic<bool>& cancel);

// Calls work(worker, i) for every i below `count`, from two threads when
// there is more than one: each thread makes one worker with make_worker()
// for everything it does, starts with 0 or 1 and then takes whichever is
// next. Without a second thread to be had, all run on this one.
template <typename MakeWorker, typename Work>
void share_between_threads(std::size_t count, MakeWorker make_worker, Work work) {
  std::atomic<std::size_t> next{2};
  const auto run = [&](std::size_t first) {
    auto worker = make_worker();
    for (std::size_t i = first; i < count; i = next++) work(worker, i);
  };
  if (count < 2) {
    if (count == 1) run(0);
    return;
  }
  std::future<void> other;
  try {
    other = std::async(std::launch::async, run, 1);
  } catch (const std::system_error&) {
    next = 1;
    run(0);
    return;
  }
  run(0);
  other.get();
}

}  // namespace korvan::reader
