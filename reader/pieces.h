// The one way the reader shares a data file between threads. After its first
// soundings, the rest of the text is cut, as it arrives, into pieces that
// start where a sounding entry starts (as a trial of a few soundings shows);
// two threads walk the pieces while the next ones are read and cut, and the
// reading joins their results in file order, so that the first fault in the
// file is the one reported, numbered from the file's start. A piece whose
// walk does not end where the next one starts shows a cut in the wrong
// place: from there on the file is read in one piece.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "text/byte_source.h"
#include "text/data_source.h"

namespace korvan::reader {

// Whole lines of the text with kRecordPadding readable bytes behind them.
struct Piece {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  std::size_t capacity = 0;  // of bytes, padding not counted
  bool last = false;         // it ends where the text ends
  std::uint64_t number = 0;  // in the order cut, from 0
};

// Cuts the text into pieces of about `piece_bytes`, from `first_bytes` (read
// already, from a sounding start on) and the rest of `data`.
class PieceCutter {
 public:
  PieceCutter(text::DataSource& data, std::string_view first_bytes, std::size_t piece_bytes);

  // The next piece, or nullopt when the text is used up - or when no
  // sounding start is found to cut at (stuck()): the rest is then read in
  // one piece, starting with held().
  std::optional<Piece> next();
  bool stuck() const { return stuck_; }
  std::string_view held() const { return {buffer_.get(), size_}; }
  // A piece walked and joined: its bytes serve again, so that new ones
  // need not be asked of the system (and faulted in) for every piece.
  void recycle(Piece piece);

 private:
  std::unique_ptr<char[]> buffer(std::size_t capacity);
  bool read_more(std::size_t wanted);
  std::optional<std::size_t> find_cut(std::size_t from) const;

  text::DataSource& data_;
  std::size_t piece_bytes_;
  std::size_t standard_;  // the capacity of every buffer but an overlong one
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  bool ended_ = false;
  bool stuck_ = false;
  std::uint64_t cut_ = 0;  // pieces cut so far
  std::vector<std::unique_ptr<char[]>> spare_;
};

// The bytes of pieces and of the cutter followed by the rest of the data:
// the text from a sounding start on, for reading it in one piece.
class ChainedText final : public text::ByteSource {
 public:
  ChainedText(std::vector<std::string> parts, text::DataSource& rest)
      : parts_(std::move(parts)), rest_(rest) {}
  std::size_t read(char* into, std::size_t room) override;
  bool failed() const override { return rest_.failed(); }
  std::string failure_text() const override { return rest_.failure_text(); }

 private:
  std::vector<std::string> parts_;
  std::size_t part_ = 0;
  std::size_t at_ = 0;
  text::DataSource& rest_;
};

// Walks pieces on two threads: work(piece) for each piece given to add(),
// the results taken in the order given. Without a second thread to be had,
// the pieces are walked on the calling thread as they are taken.
template <typename Result>
class PieceWorkers {
 public:
  explicit PieceWorkers(std::function<Result(const Piece&)> work) : work_(std::move(work)) {
    try {
      for (int i = 0; i < kThreads; ++i) threads_.emplace_back([this] { serve(); });
    } catch (const std::system_error&) {
      // Walked on the calling thread, in take().
    }
  }
  ~PieceWorkers() {
    {
      const std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  PieceWorkers(const PieceWorkers&) = delete;
  PieceWorkers& operator=(const PieceWorkers&) = delete;

  std::size_t waiting() const {
    const std::lock_guard lock(mutex_);
    return slots_.size();
  }
  void add(Piece piece) {
    {
      const std::lock_guard lock(mutex_);
      slots_.push_back(std::make_shared<Slot>(std::move(piece)));
    }
    changed_.notify_all();
  }
  // The oldest piece and its result, once walked.
  std::pair<Piece, Result> take() {
    std::unique_lock lock(mutex_);
    const std::shared_ptr<Slot> slot = slots_.front();
    if (threads_.empty() && !slot->taken) {
      slot->taken = true;
      lock.unlock();
      slot->result = work_(slot->piece);
      lock.lock();
    }
    changed_.wait(lock, [&] { return slot->result.has_value(); });
    slots_.pop_front();
    return {std::move(slot->piece), std::move(*slot->result)};
  }
  // Pieces not yet taken, in order, for reading them in one piece after all.
  std::vector<Piece> drop() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
      for (const auto& slot : slots_) {
        if (slot->taken && !slot->result) return false;
      }
      return true;
    });
    std::vector<Piece> pieces;
    for (const auto& slot : slots_) pieces.push_back(std::move(slot->piece));
    slots_.clear();
    return pieces;
  }

 private:
  static constexpr int kThreads = 2;
  struct Slot {
    explicit Slot(Piece p) : piece(std::move(p)) {}
    Piece piece;
    bool taken = false;
    std::optional<Result> result;
  };

  void serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      std::shared_ptr<Slot> slot;
      changed_.wait(lock, [&] {
        if (closing_) return true;
        for (const auto& s : slots_) {
          if (!s->taken) {
            slot = s;
            return true;
          }
        }
        return false;
      });
      if (!slot) return;
      slot->taken = true;
      lock.unlock();
      Result result = work_(slot->piece);
      lock.lock();
      slot->result = std::move(result);
      changed_.notify_all();
    }
  }

  std::function<Result(const Piece&)> work_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Slot>> slots_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace korvan::reader
