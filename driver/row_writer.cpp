// Every row has the layout of sounding 1 (the checks made sure it exists in
// every sounding); the values come from the sounding being written.
//
// Rows are rendered in chunks straight into their final layout, which the
// compiled row format gives. For large files a second thread renders chunks
// too: whichever thread is free takes the next chunk, and this one also
// writes them all in order, so the file is the same as when written row by
// row.
#include "driver/row_writer.h"

#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "driver/output_records.h"
#include "textio/fixed_format.h"
#include "textio/format.h"

namespace korvan::driver {
namespace {

constexpr std::int64_t kRowsPerChunk = 4096;
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kCoordinateWidth = 15;
constexpr std::size_t kFieldWidth = std::tuple_size_v<Field>;

class RowRenderer {
 public:
  RowRenderer(const reader::SoundingArrays& a, const ColumnPlan& plan, const textio::Format::TextLayout& layout,
              const std::vector<std::size_t>& lengths)
      : a_(a), plan_(plan), layout_(layout), lengths_(lengths) {}

  std::size_t record_bytes() const { return layout_.record_length + kLineEnd.size(); }

  // Renders soundings [first, last) into `out`, each row with its CR LF.
  void render(std::int32_t first, std::int32_t last, std::string& out) const {
    out.resize(static_cast<std::size_t>(last - first) * record_bytes());
    char* row = out.data();
    for (std::int32_t isound = first; isound < last; ++isound) {
      render_row(isound, row);
      row += record_bytes();
    }
  }

  // The texts of one row, each rendered straight into its place in the
  // record (as if into fields_a first and then copied).
  void render_row(std::int32_t isound, char* row) const {
    std::memset(row, ' ', layout_.record_length);
    const auto field = [&](std::size_t f) { return std::span<char>(row + layout_.starts[f], lengths_[f]); };
    const std::span<char> x = field(0);
    textio::render_f(x, 5, a_.soundx(isound));
    textio::right_adjust(x);
    const std::span<char> y = field(1);
    textio::render_f(y, 5, a_.soundy(isound));
    textio::right_adjust(y);
    textio::render_g_right(field(2), 5, -a_.zt(1, 1, isound));
    for (std::size_t c = 0; c < plan_.size(); ++c) {
      const reader::Datum& datum = a_.prd(1, plan_[c].it, plan_[c].ifreq, isound);
      textio::render_g_right(field(c + 3), 5, plan_[c].inphase ? datum.inphase : datum.quadrature);
    }
    std::memcpy(row + layout_.record_length, kLineEnd.data(), kLineEnd.size());
  }

 private:
  const reader::SoundingArrays& a_;
  const ColumnPlan& plan_;
  const textio::Format::TextLayout& layout_;
  const std::vector<std::size_t>& lengths_;  // each field's width
};

void write_chunk(textio::OutputUnit& out, std::string_view file_name, const std::string& chunk, std::size_t record_bytes,
                 std::int32_t first) {
  if (out.write_block(chunk.data(), chunk.size(), record_bytes, record_tag(OutputRecord::row, first)) !=
      textio::IoStatus::ok) {
    stop_for_lost_record(out, file_name);
  }
}

// Chunks rendered by two threads and written in order by the calling one.
// Chunk c is rendered into slot c % kSlots once the chunk that last used the
// slot is written. Writing goes first whenever the next chunk is ready, so
// the writer, which also renders, is never behind for long; the helper only
// renders. A refused write stops the run; the helper is stopped and joined
// first, so nothing runs on after the stop.
class ChunkPipeline {
 public:
  ChunkPipeline(const RowRenderer& renderer, std::int32_t nsound)
      : renderer_(renderer), nsound_(nsound), chunks_((std::int64_t{nsound} + kRowsPerChunk - 1) / kRowsPerChunk) {
    ready_.fill(-1);
    // Sized here, so that rendering allocates nothing in the helper.
    for (std::string& buffer : buffers_) buffer.reserve(static_cast<std::size_t>(kRowsPerChunk) * renderer.record_bytes());
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

  void write_all(textio::OutputUnit& out, std::string_view file_name) {
    std::unique_lock lock(mutex_);
    while (written_ < chunks_) {
      const std::int64_t next = written_;
      if (ready_[slot(next)] == next) {
        lock.unlock();
        write_chunk(out, file_name, buffers_[slot(next)], renderer_.record_bytes(), first_row(next));
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
  static std::int32_t first_row(std::int64_t chunk) { return static_cast<std::int32_t>(chunk * kRowsPerChunk + 1); }

  // With the lock held: a chunk is left to render and its slot is free.
  bool may_take() const { return taken_ < chunks_ && taken_ < written_ + static_cast<std::int64_t>(kSlots); }

  // Takes the next chunk and renders it without the lock.
  void render_next(std::unique_lock<std::mutex>& lock) {
    const std::int64_t chunk = taken_++;
    lock.unlock();
    const std::int64_t last = std::min<std::int64_t>((chunk + 1) * kRowsPerChunk, nsound_) + 1;
    renderer_.render(first_row(chunk), static_cast<std::int32_t>(last), buffers_[slot(chunk)]);
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

  const RowRenderer& renderer_;
  const std::int32_t nsound_;
  const std::int64_t chunks_;
  std::array<std::string, kSlots> buffers_;
  std::array<std::int64_t, kSlots> ready_{};  // the chunk each slot holds rendered, or -1
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t taken_ = 0;    // chunks taken for rendering
  std::int64_t written_ = 0;  // chunks written
  bool stopping_ = false;
  std::thread helper_;  // last: it starts once everything above is set up
};

}  // namespace

void write_rows(const reader::SoundingArrays& a, std::int32_t nsound, const ColumnPlan& plan,
                std::vector<Field>& fields_a, textio::OutputUnit& out, std::string_view file_name) {
  if (nsound < 1) return;
  // The row format text, built from the number of fields; every row has the
  // same number, so it is built and compiled once.
  const std::size_t counter = plan.size() + 1;
  const std::string count = textio::integer_text(static_cast<std::int64_t>(counter), 9);
  const std::optional<textio::Format> row_format = textio::Format::compile("(2(1X,A15)," + count + "(1X,A12))");
  std::vector<std::size_t> lengths = {kCoordinateWidth, kCoordinateWidth};
  lengths.resize(counter + 2, fields_a.empty() ? kFieldWidth : fields_a[0].size());
  const std::optional<textio::Format::TextLayout> layout = row_format->text_layout(lengths);

  RowRenderer renderer(a, plan, *layout, lengths);
  const std::size_t record_bytes = renderer.record_bytes();
  const auto chunk_end = [nsound](std::int64_t first) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(first + kRowsPerChunk, std::int64_t{nsound} + 1));
  };

  if (nsound <= 2 * kRowsPerChunk) {
    std::string chunk;
    for (std::int64_t first = 1; first <= nsound; first += kRowsPerChunk) {
      renderer.render(static_cast<std::int32_t>(first), chunk_end(first), chunk);
      write_chunk(out, file_name, chunk, record_bytes, static_cast<std::int32_t>(first));
    }
    return;
  }

  ChunkPipeline pipeline(renderer, nsound);
  pipeline.write_all(out, file_name);
}

}  // namespace korvan::driver
