// The handlers reach the names through a small fixed table, the one state of
// the program that is not owned by the run: a signal handler can reach
// nothing else. Writing a slot's name happens before it is armed, and the
// handler reads only armed slots, with unlink() and raise() alone, both
// async-signal-safe.
//
// Several files may be written at once, by several threads, and the signal
// goes to any thread that does not hold it: the handler first says that the
// process is ending, then waits until no thread is between making a file
// and naming it (or between putting it in place and forgetting the name),
// and only then removes the names. A thread that would start such a step
// after that waits for the end instead.
#include "writers/signal_cleanup.h"

#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>
#include <utility>

#include <pthread.h>
#include <unistd.h>

namespace korvan::writers {
namespace {

constexpr std::array<int, 3> kEndingSignals = {SIGINT, SIGTERM, SIGHUP};

struct Slot {
  std::atomic<bool> taken{false};
  std::atomic<bool> armed{false};
  std::array<char, PATH_MAX> path{};
};

static_assert(std::atomic<bool>::is_always_lock_free, "the handler may only touch lock-free atomics");

// A run holds at most the rows file's and the picture's temporaries, and one
// more name while a temporary is put in place; a run of several files at
// once (run/batch.h) one name a file, with some room to spare.
std::array<Slot, kMaxFilesAtOnce + 4> slots;
std::once_flag handlers_installed;
std::atomic<bool> ending{false};
std::atomic<int> steps_in_progress{0};  // threads within a SignalsHeld

static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free atomics");

extern "C" void remove_and_end(int signal) {
  ending.store(true);
  while (steps_in_progress.load() > 0) {
  }
  for (Slot& slot : slots) {
    if (slot.armed.load(std::memory_order_acquire)) ::unlink(slot.path.data());
  }
  // SA_RESETHAND has put the default action back, SA_NODEFER lets it act
  // at once: the process ends by the signal, as without this handler.
  ::raise(signal);
}

// A signal that the process ignores (nohup) or that someone else handles
// is left as it is.
void install_handlers() {
  for (const int signal : kEndingSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction handler {};
    handler.sa_handler = remove_and_end;
    handler.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&handler.sa_mask);
    ::sigaction(signal, &handler, nullptr);
  }
}

}  // namespace

std::optional<RemovedOnSignal> RemovedOnSignal::hold(const std::string& path) {
  if (path.size() >= PATH_MAX) return std::nullopt;
  std::call_once(handlers_installed, install_handlers);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    Slot& slot = slots[i];
    if (slot.taken.exchange(true)) continue;
    std::memcpy(slot.path.data(), path.c_str(), path.size() + 1);
    slot.armed.store(true, std::memory_order_release);
    return RemovedOnSignal(static_cast<int>(i));
  }
  return std::nullopt;
}

void RemovedOnSignal::forget() {
  if (slot_ < 0) return;
  Slot& slot = slots[static_cast<std::size_t>(slot_)];
  slot.armed.store(false, std::memory_order_release);
  slot.taken.store(false);
  slot_ = -1;
}

RemovedOnSignal::~RemovedOnSignal() { forget(); }

RemovedOnSignal::RemovedOnSignal(RemovedOnSignal&& other) noexcept : slot_(std::exchange(other.slot_, -1)) {}

RemovedOnSignal& RemovedOnSignal::operator=(RemovedOnSignal&& other) noexcept {
  if (this != &other) {
    forget();
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

SignalsHeld::SignalsHeld() {
  sigset_t ending_signals;
  sigemptyset(&ending_signals);
  for (const int signal : kEndingSignals) sigaddset(&ending_signals, signal);
  pthread_sigmask(SIG_BLOCK, &ending_signals, &before_);
  // Sequentially consistent, as the handler's store and load: either it
  // sees this step and waits for it, or this sees that it is ending.
  steps_in_progress.fetch_add(1);
  if (ending.load()) {
    steps_in_progress.fetch_sub(1);
    for (;;) ::pause();
  }
}

SignalsHeld::~SignalsHeld() {
  steps_in_progress.fetch_sub(1);
  pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

}  // namespace korvan::writers
