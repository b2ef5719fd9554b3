// Every row has the layout of sounding 1 (the checks made sure it exists in
// every sounding); the values come from the sounding being written.
//
// Rows are rendered in chunks straight into their final layout; the chunk
// pipeline shares the rendering between two threads for large files.
#include "writers/row_writer.h"

#include <cstring>
#include <string>

#include "format/fixed_format.h"
#include "text/text_helpers.h"
#include "writers/chunk_pipeline.h"
#include "writers/output_records.h"

namespace korvan::writers {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kCoordinateWidth = 15;
constexpr std::size_t kFieldWidth = std::tuple_size_v<Field>;

// Where each field of a row starts, and the row's length without its line end.
struct RowLayout {
  std::vector<std::size_t> starts;
  std::size_t record_length = 0;
};

// Rows of one length, so that a chunk goes to the file as one block.
class VaskRows final : public ChunkedRows {
 public:
  VaskRows(const reader::SoundingArrays& a, const table::ColumnPlan& plan, const RowLayout& layout,
           const std::vector<std::size_t>& lengths, OutputUnit& out, std::string_view file_name)
      : a_(a), plan_(plan), layout_(layout), lengths_(lengths), out_(out), file_name_(file_name) {}

  std::size_t max_chunk_bytes(std::int32_t rows) const override {
    return static_cast<std::size_t>(rows) * record_bytes();
  }

  // Each row with its CR LF.
  void render(RowChunk& chunk) const override {
    chunk.length = static_cast<std::size_t>(chunk.last - chunk.first) * record_bytes();
    if (chunk.text.size() < chunk.length) chunk.text.resize(chunk.length);
    char* row = chunk.text.data();
    for (std::int32_t isound = chunk.first; isound < chunk.last; ++isound) {
      render_row(isound, row);
      row += record_bytes();
    }
  }

  void write(const RowChunk& chunk) override {
    if (out_.write_block(chunk.text.data(), chunk.length, record_bytes(),
                         record_tag(OutputRecord::row, chunk.first)) != text::IoStatus::ok) {
      stop_for_lost_record(out_, file_name_);
    }
  }

 private:
  std::size_t record_bytes() const { return layout_.record_length + kLineEnd.size(); }

  // The texts of one row, each rendered straight into its place in the
  // record (as if into fields_a first and then copied).
  void render_row(std::int32_t isound, char* row) const {
    std::memset(row, ' ', layout_.record_length);
    const auto field = [&](std::size_t f) { return std::span<char>(row + layout_.starts[f], lengths_[f]); };
    const std::span<char> x = field(0);
    format::render_f(x, 5, a_.soundx(isound));
    text::right_adjust(x);
    const std::span<char> y = field(1);
    format::render_f(y, 5, a_.soundy(isound));
    text::right_adjust(y);
    format::render_g_right(field(2), 5, -a_.zt(1, 1, isound));
    for (std::size_t c = 0; c < plan_.size(); ++c) {
      const reader::Datum& datum = a_.prd(1, plan_[c].it, plan_[c].ifreq, isound);
      format::render_g_right(field(c + 3), 5, plan_[c].inphase ? datum.inphase : datum.quadrature);
    }
    std::memcpy(row + layout_.record_length, kLineEnd.data(), kLineEnd.size());
  }

  const reader::SoundingArrays& a_;
  const table::ColumnPlan& plan_;
  const RowLayout& layout_;
  const std::vector<std::size_t>& lengths_;  // each field's width
  OutputUnit& out_;
  const std::string_view file_name_;
};

}  // namespace

void write_rows(const reader::SoundingArrays& a, std::int32_t nsound, const table::ColumnPlan& plan,
                std::vector<Field>& fields_a, OutputUnit& out, std::string_view file_name) {
  if (nsound < 1) return;
  // Every field follows one blank: x and y in 15 characters, then the height
  // and each data column in the width of fields_a's texts. Every row has the
  // same fields, so their places are worked out once.
  std::vector<std::size_t> lengths = {kCoordinateWidth, kCoordinateWidth};
  lengths.resize(plan.size() + 3, fields_a.empty() ? kFieldWidth : fields_a[0].size());
  RowLayout layout;
  for (const std::size_t length : lengths) {
    layout.starts.push_back(layout.record_length + 1);
    layout.record_length += 1 + length;
  }

  VaskRows rows(a, plan, layout, lengths, out, file_name);
  render_and_write(rows, nsound);
}

}  // namespace korvan::writers
