// Temporary files that must not outlive a run that a signal ends: their names
// are removed when SIGINT, SIGTERM or SIGHUP arrives, and the signal then ends
// the process as it would have otherwise.
#pragma once

#include <csignal>
#include <optional>
#include <string>

namespace korvan::writers {

// The most files that one process writes at once under temporary names (a
// run of several files converts at most this many at a time).
inline constexpr int kMaxFilesAtOnce = 64;

// A name that the signal handlers remove while this lives; forgotten (not
// removed) at the end of its life.
class RemovedOnSignal {
 public:
  // nullopt when the handlers have no room for the name (a few names at a
  // time, each shorter than PATH_MAX): the caller then makes no such file.
  static std::optional<RemovedOnSignal> hold(const std::string& path);
  ~RemovedOnSignal();
  RemovedOnSignal(RemovedOnSignal&& other) noexcept;
  RemovedOnSignal& operator=(RemovedOnSignal&& other) noexcept;
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

 private:
  explicit RemovedOnSignal(int slot) : slot_(slot) {}
  void forget();
  int slot_;  // -1 once moved from
};

// Keeps SIGINT, SIGTERM and SIGHUP waiting in the calling thread while it
// lives, so that making a file and naming it for the handlers (or putting it
// in its place and forgetting its temporary name) are one step for them.
// Other threads may take the signal meanwhile: its handler waits for the
// step to end. Not to be nested, nor held for long.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t before_;
};

}  // namespace korvan::writers
