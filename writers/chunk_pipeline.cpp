// The pipeline's threads: the calling one renders and writes, a helper only
// renders; the first refused write, in file order, stops the run.
#include "writers/chunk_pipeline.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace korvan::writers {
namespace {

// One chunk's room, sized once.
void make_room(const ChunkedRows& rows, RowChunk& chunk, std::int32_t row_count) {
  chunk.text.reserve(rows.max_chunk_bytes(row_count));
}

std::int32_t chunk_end(std::int64_t first, std::int32_t nsound) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(first + kRowsPerChunk, std::int64_t{nsound} + 1));
}

void render_and_write_alone(ChunkedRows& rows, std::int32_t nsound) {
  RowChunk chunk;
  make_room(rows, chunk, std::min(nsound, kRowsPerChunk));
  for (std::int64_t first = 1; first <= nsound; first += kRowsPerChunk) {
    chunk.first = static_cast<std::int32_t>(first);
    chunk.last = chunk_end(first, nsound);
    rows.render(chunk);
    rows.write(chunk);
  }
}

// Chunk c is rendered into slot c % kSlots once the chunk that last used the
// slot is written. Writing goes first whenever the next chunk is ready, so
// the writer, which also renders, is never behind for long. A refused write
// stops the run; the helper is stopped and joined first, so nothing runs on
// after the stop.
class ChunkPipeline {
 public:
  ChunkPipeline(ChunkedRows& rows, std::int32_t nsound)
      : rows_(rows), nsound_(nsound), chunks_((std::int64_t{nsound} + kRowsPerChunk - 1) / kRowsPerChunk) {
    ready_.fill(-1);
    for (RowChunk& chunk : slots_) make_room(rows, chunk, kRowsPerChunk);
    helper_ = std::thread([this] { help(); });
  }
  ~ChunkPipeline() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    helper_.join();
  }
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  void write_all() {
    std::unique_lock lock(mutex_);
    while (written_ < chunks_) {
      const std::int64_t next = written_;
      if (ready_[slot(next)] == next) {
        lock.unlock();
        rows_.write(slots_[slot(next)]);
        lock.lock();
        ++written_;
        changed_.notify_all();
      } else if (may_take()) {
        render_next(lock);
      } else {
        changed_.wait(lock);
      }
    }
  }

 private:
  static constexpr std::size_t kSlots = 4;

  static std::size_t slot(std::int64_t chunk) { return static_cast<std::size_t>(chunk) % kSlots; }

  // With the lock held: a chunk is left to render and its slot is free.
  bool may_take() const { return taken_ < chunks_ && taken_ < written_ + static_cast<std::int64_t>(kSlots); }

  // Takes the next chunk and renders it without the lock.
  void render_next(std::unique_lock<std::mutex>& lock) {
    const std::int64_t chunk = taken_++;
    lock.unlock();
    RowChunk& rendered = slots_[slot(chunk)];
    rendered.first = static_cast<std::int32_t>(chunk * kRowsPerChunk + 1);
    rendered.last = chunk_end(rendered.first, nsound_);
    rows_.render(rendered);
    lock.lock();
    ready_[slot(chunk)] = chunk;
    changed_.notify_all();
  }

  void help() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || taken_ >= chunks_ || may_take(); });
      if (stopping_ || taken_ >= chunks_) return;
      render_next(lock);
    }
  }

  ChunkedRows& rows_;
  const std::int32_t nsound_;
  const std::int64_t chunks_;
  std::array<RowChunk, kSlots> slots_;
  std::array<std::int64_t, kSlots> ready_{};  // the chunk each slot holds rendered, or -1
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t taken_ = 0;    // chunks taken for rendering
  std::int64_t written_ = 0;  // chunks written
  bool stopping_ = false;
  std::thread helper_;  // last: it starts once everything above is set up
};

}  // namespace

void render_and_write(ChunkedRows& rows, std::int32_t nsound) {
  if (nsound < 1) return;
  if (nsound <= 2 * kRowsPerChunk) {
    render_and_write_alone(rows, nsound);
    return;
  }
  ChunkPipeline pipeline(rows, nsound);
  pipeline.write_all();
}

}  // namespace korvan::writers
