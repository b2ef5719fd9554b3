// CSV rows go through the chunk pipeline like the vask.out rows. Their
// lengths vary, so a chunk reaches the output unit as one block of one-byte
// records, each tagged with its offset among the rows; a refused byte is
// traced back to its sounding by rendering its chunk again, which gives the
// same rows, and finding the row that holds it.
#include "writers/csv_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

#include "console/stop.h"
#include "format/shortest_decimal.h"
#include "writers/chunk_pipeline.h"
#include "writers/output_records.h"

namespace korvan::writers {
namespace {

// The longest shortest texts: of a float, see shortest_decimal.h; of a
// double, sign, 17 significant digits, point and exponent
// ("-1.2345678901234567e-308").
constexpr std::size_t kMaxFloatText = format::kMaxShortestFloat;
constexpr std::size_t kMaxDoubleText = 24;
// A sounding's number and its line: at most ten digits each.
constexpr std::size_t kMaxCountText = 10;

// The shortest text that reads back to the same value. Zero of either sign
// is "0": a "-0" helps no reader of a table. NaN, a value the file leaves
// empty, is an empty field.
char* put_number(char* at, float value) {
  if (std::isnan(value)) return at;
  if (value == 0) {
    *at = '0';
    return at + 1;
  }
  return format::put_shortest(at, value);
}

char* put_number(char* at, double value) {
  if (std::isnan(value)) return at;
  if (value == 0) {
    *at = '0';
    return at + 1;
  }
  return format::put_shortest(at, value);
}

char* put_count(char* at, std::int32_t value) { return std::to_chars(at, at + kMaxCountText, value).ptr; }

class CsvRows final : public ChunkedRows {
 public:
  CsvRows(const reader::SoundingArrays& a, const table::ColumnPlan& plan, std::span<const std::int32_t> lines,
          std::span<const double> x_exact, std::span<const double> y_exact, OutputUnit& out,
          std::string_view file_name)
      : a_(a),
        plan_(plan),
        lines_(lines),
        x_exact_(x_exact),
        y_exact_(y_exact),
        out_(out),
        file_name_(file_name) {
    for (const table::DataColumn& column : plan) {
      places_.push_back({a.prd.linear_index(1, column.it, column.ifreq, 1), column.inphase ? 'q' : 'i', column.inphase});
    }
  }

  std::size_t max_chunk_bytes(std::int32_t rows) const override {
    // The sounding and its line, x and y, the height, each data column with
    // its comma, the line end;
    // after the last, the room that writing a number may take past its end.
    // (A coordinate's words reach at most kShortestDoubleRoom bytes on,
    // which the height and the line end after it leave.)
    static_assert(format::kShortestDoubleRoom <= kMaxDoubleText + 1 + kMaxFloatText + 1);
    const std::size_t row = 2 * (kMaxCountText + 1) + 2 * (kMaxDoubleText + 1) + kMaxFloatText +
                            plan_.size() * (kMaxFloatText + 1) + 1;
    return static_cast<std::size_t>(rows) * row + format::kShortestFloatRoom;
  }

  void render(RowChunk& chunk) const override { render_rows(chunk, nullptr); }

  void write(const RowChunk& chunk) override {
    chunks_.push_back({rows_bytes_, chunk.first, chunk.last});
    if (out_.write_block(chunk.text.data(), chunk.length, 1, record_tag(OutputRecord::row_byte, rows_bytes_)) !=
        text::IoStatus::ok) {
      stop_for_lost_row();
    }
    rows_bytes_ += static_cast<std::int64_t>(chunk.length);
  }

  // Stops with the message for the first record that the unit lost; a row
  // byte is named by the sounding whose row holds it.
  [[noreturn]] void stop_for_lost_row() const {
    const OutputUnit::RecordTag tag = out_.failed_record();
    if (record_kind(tag) != OutputRecord::row_byte) stop_for_lost_record(out_, file_name_);
    const std::int64_t byte = record_number(tag);
    const WrittenChunk& written = *std::prev(std::upper_bound(
        chunks_.begin(), chunks_.end(), byte, [](std::int64_t at, const WrittenChunk& c) { return at < c.start; }));
    RowChunk again;
    again.first = written.first;
    again.last = written.last;
    std::vector<std::size_t> row_ends;
    render_rows(again, &row_ends);
    const auto within = static_cast<std::size_t>(byte - written.start);
    const auto row = std::upper_bound(row_ends.begin(), row_ends.end(), within) - row_ends.begin();
    console::stop(write_failure_message(record_tag(OutputRecord::row, written.first + row), file_name_),
                  {std::string(file_name_) + ": " + out_.error_text()});
  }

 private:
  // A chunk handed to the unit: where its rows start among all rows.
  struct WrittenChunk {
    std::int64_t start;
    std::int32_t first;
    std::int32_t last;
  };

  // The rows of the chunk, and where each ends when `row_ends` is given.
  void render_rows(RowChunk& chunk, std::vector<std::size_t>* row_ends) const {
    const std::size_t room = max_chunk_bytes(chunk.last - chunk.first);
    if (chunk.text.size() < room) chunk.text.resize(room);
    char* const start = chunk.text.data();
    char* at = start;
    for (std::int32_t isound = chunk.first; isound < chunk.last; ++isound) {
      at = render_row(isound, at);
      if (row_ends != nullptr) row_ends->push_back(static_cast<std::size_t>(at - start));
    }
    chunk.length = static_cast<std::size_t>(at - start);
  }

  char* render_row(std::int32_t isound, char* at) const {
    const auto index = static_cast<std::size_t>(isound - 1);
    at = put_count(at, isound);
    *at++ = ',';
    at = put_count(at, index < lines_.size() ? lines_[index] : 0);
    *at++ = ',';
    at = index < x_exact_.size() ? put_number(at, x_exact_[index]) : put_number(at, a_.soundx(isound));
    *at++ = ',';
    at = index < y_exact_.size() ? put_number(at, y_exact_[index]) : put_number(at, a_.soundy(isound));
    *at++ = ',';
    at = put_number(at, -a_.zt(1, 1, isound));
    const std::int64_t sounding_start = (isound - 1) * a_.prd.slice();
    for (const ColumnPlace& column : places_) {
      *at++ = ',';
      const std::int64_t k = sounding_start + column.place;
      if (a_.octype.at(k) == column.lacking) continue;
      const reader::Datum& datum = a_.prd.at(k);
      at = put_number(at, column.inphase ? datum.inphase : datum.quadrature);
    }
    *at++ = '\n';
    return at;
  }

  // A data column's receiver in sounding 1, whose component and datum
  // share their place in the arrays; a sounding's own lie a slice further
  // on per sounding.
  struct ColumnPlace {
    std::int64_t place;
    char lacking;  // the component letter of a sounding that lacks this column's part
    bool inphase;
  };

  const reader::SoundingArrays& a_;
  const table::ColumnPlan& plan_;
  std::vector<ColumnPlace> places_;
  const std::span<const std::int32_t> lines_;
  const std::span<const double> x_exact_;
  const std::span<const double> y_exact_;
  OutputUnit& out_;
  const std::string_view file_name_;
  std::vector<WrittenChunk> chunks_;  // in file order
  std::int64_t rows_bytes_ = 0;       // handed to the unit so far
};

}  // namespace

void write_csv(const reader::SoundingArrays& arrays, std::int32_t nsound, const table::ColumnPlan& plan,
               std::span<const std::int32_t> lines, std::span<const double> x_exact, std::span<const double> y_exact,
               OutputUnit& out, std::string_view file_name) {
  std::string header;
  for (const std::string& name : table::csv_column_names(plan)) (header += name) += ',';
  header.back() = '\n';
  if (out.write_block(header.data(), header.size(), header.size(), record_tag(OutputRecord::header)) !=
      text::IoStatus::ok) {
    stop_for_lost_record(out, file_name);
  }
  CsvRows rows(arrays, plan, lines, x_exact, y_exact, out, file_name);
  render_and_write(rows, nsound);
  // Flushed here, while the rows can still name a lost byte's sounding.
  if (out.flush() != text::IoStatus::ok) rows.stop_for_lost_row();
}

}  // namespace korvan::writers
