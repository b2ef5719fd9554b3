// Every row has the layout of sounding 1 (the checks made sure it exists in
// every sounding); the values come from the sounding being written.
//
// Rows are rendered in chunks straight into their final layout, which the
// compiled row format gives. For large files a second thread renders every
// other chunk while this one renders the rest and writes all chunks in
// order, so the file is the same as when written row by row.
#include "driver/row_writer.h"

#include <cstring>
#include <future>
#include <string>

#include "driver/output_records.h"
#include "driver/stops.h"
#include "textio/fixed_format.h"
#include "textio/format.h"

namespace korvan::driver {
namespace {

constexpr std::int64_t kRowsPerChunk = 4096;
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kCoordinateWidth = 15;
constexpr std::size_t kFieldWidth = std::tuple_size_v<Field>;

// Which value goes into each data column, decided once from sounding 1.
struct Column {
  std::int32_t it;
  std::int32_t ifreq;
  bool inphase;
};

std::vector<Column> column_plan(const reader::SoundingArrays& a) {
  std::vector<Column> plan;
  const std::int32_t nfreq = a.nfreqs(1);
  for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) {
    const std::int32_t ntx = a.nt(ifreq, 1);
    for (std::int32_t it = 1; it <= ntx; ++it) {
      switch (a.octype(1, it, ifreq, 1)) {
        case 'i':
          plan.push_back({it, ifreq, true});
          break;
        case 'q':
          plan.push_back({it, ifreq, false});
          break;
        case 'b':
          plan.push_back({it, ifreq, true});
          plan.push_back({it, ifreq, false});
          break;
        default:
          estop("second instance of inphase/quadrature inconsistency");
      }
    }
  }
  return plan;
}

class RowRenderer {
 public:
  RowRenderer(const reader::SoundingArrays& a, const std::vector<Column>& plan, const textio::Format::TextLayout& layout,
              const std::vector<std::size_t>& lengths)
      : a_(a), plan_(plan), layout_(layout), lengths_(lengths) {}

  std::size_t record_bytes() const { return layout_.record_length + kLineEnd.size(); }

  // Renders soundings [first, last) into `out`, each row with its CR LF.
  void render(std::int32_t first, std::int32_t last, std::string& out) {
    out.resize(static_cast<std::size_t>(last - first) * record_bytes());
    char* row = out.data();
    for (std::int32_t isound = first; isound < last; ++isound) {
      render_row(isound, row);
      row += record_bytes();
    }
  }

  // The texts of one row, each rendered straight into its place in the
  // record (as if into fields_a first and then copied).
  void render_row(std::int32_t isound, char* row) {
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
  const std::vector<Column>& plan_;
  const textio::Format::TextLayout& layout_;
  const std::vector<std::size_t>& lengths_;  // each field's width
};

void write_chunk(textio::OutputUnit& out, const std::string& chunk, std::size_t record_bytes, std::int32_t first) {
  if (out.write_block(chunk.data(), chunk.size(), record_bytes, record_tag(OutputRecord::row, first)) !=
      textio::IoStatus::ok) {
    estop(write_failure_message(out.failed_record()));
  }
}

}  // namespace

void write_rows(const reader::SoundingArrays& a, std::int32_t nsound, std::vector<Field>& fields_a,
                textio::OutputUnit& out) {
  if (nsound < 1) return;
  const std::vector<Column> plan = column_plan(a);
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
      write_chunk(out, chunk, record_bytes, static_cast<std::int32_t>(first));
    }
    return;
  }

  // Chunks go in pairs: this thread renders the first of each pair, a helper
  // the second (into one of two buffers, alternating), and the helper
  // renders the next pair's second chunk while this thread writes.
  RowRenderer helper_renderer(a, plan, *layout, lengths);
  std::string mine;
  std::string theirs[2];
  const std::int64_t pair_rows = 2 * kRowsPerChunk;
  const auto render_theirs = [&](std::int64_t first, int slot) {
    return std::async(std::launch::async, [&helper_renderer, &theirs, first, slot, chunk_end] {
      helper_renderer.render(static_cast<std::int32_t>(first), chunk_end(first), theirs[slot]);
    });
  };
  int slot = 0;
  std::future<void> pending = render_theirs(1 + kRowsPerChunk, slot);
  for (std::int64_t first = 1; first <= nsound; first += pair_rows) {
    renderer.render(static_cast<std::int32_t>(first), chunk_end(first), mine);
    const std::int64_t second = first + kRowsPerChunk;
    if (pending.valid()) pending.get();
    if (second + pair_rows <= nsound) pending = render_theirs(second + pair_rows, slot ^ 1);
    // A refused write stops the run; the helper's chunk is finished first
    // (the future's destructor waits), so nothing runs on after the stop.
    write_chunk(out, mine, record_bytes, static_cast<std::int32_t>(first));
    if (second <= nsound) write_chunk(out, theirs[slot], record_bytes, static_cast<std::int32_t>(second));
    slot ^= 1;
  }
}

}  // namespace korvan::driver
