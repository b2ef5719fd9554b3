// CSV rows go through the chunk pipeline like the vask.out rows. Their
// lengths vary, so each chunk keeps where its rows end, and runs of rows of
// one length reach the output unit as one block: a refused write still names
// the exact sounding.
#include "driver/csv_writer.h"

#include <charconv>
#include <map>

#include "driver/chunk_pipeline.h"
#include "driver/output_records.h"
#include "driver/shortest_decimal.h"

namespace korvan::driver {
namespace {

// The longest shortest text of a double: sign, 17 significant digits, point
// and exponent ("-1.2345678901234567e-308").
constexpr std::size_t kMaxFloatText = kMaxShortestFloat;
constexpr std::size_t kMaxDoubleText = 24;

// The shortest text that reads back to the same value. Zero of either sign
// is "0": a "-0" helps no reader of a table.
char* put_number(char* at, float value) {
  if (value == 0) {
    *at = '0';
    return at + 1;
  }
  return put_shortest(at, value);
}

char* put_number(char* at, double value) {
  if (value == 0) {
    *at = '0';
    return at + 1;
  }
  return put_shortest(at, value);
}

// A frequency as a name shows it: the shortest decimal without an exponent
// ("100000", not "1e+05").
std::string frequency_name(float value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr);
}

// How much a column's name says: what it holds, then its transmitter, then
// its frequency position as well.
enum class Qualifier { none, transmitter, frequency_and_transmitter };

std::string column_name(const DataColumn& column, Qualifier qualifier) {
  std::string name = frequency_name(column.frequency) + "Hz_" + column.orientation;
  name += column.inphase ? "_inphase" : "_quadrature";
  if (qualifier == Qualifier::frequency_and_transmitter) name += "_f" + std::to_string(column.ifreq);
  if (qualifier != Qualifier::none) name += "_tx" + std::to_string(column.it);
  return name;
}

class CsvRows final : public ChunkedRows {
 public:
  CsvRows(const reader::SoundingArrays& a, const ColumnPlan& plan, std::span<const double> x_exact,
          std::span<const double> y_exact, textio::OutputUnit& out, std::string_view file_name)
      : a_(a), plan_(plan), x_exact_(x_exact), y_exact_(y_exact), out_(out), file_name_(file_name) {
    for (const DataColumn& column : plan) {
      places_.push_back({a.prd.linear_index(1, column.it, column.ifreq, 1), column.inphase ? 'q' : 'i', column.inphase});
    }
  }

  std::size_t max_chunk_bytes(std::int32_t rows) const override {
    // x and y, the height, each data column with its comma, the line end;
    // after the last, the room that writing a number may take past its end.
    const std::size_t row = 2 * (kMaxDoubleText + 1) + kMaxFloatText + plan_.size() * (kMaxFloatText + 1) + 1;
    return static_cast<std::size_t>(rows) * row + kShortestFloatRoom;
  }

  void render(RowChunk& chunk) const override {
    const std::size_t room = max_chunk_bytes(chunk.last - chunk.first);
    if (chunk.text.size() < room) chunk.text.resize(room);
    chunk.row_ends.clear();
    char* const start = chunk.text.data();
    char* at = start;
    for (std::int32_t isound = chunk.first; isound < chunk.last; ++isound) {
      at = render_row(isound, at);
      chunk.row_ends.push_back(static_cast<std::size_t>(at - start));
    }
    chunk.length = static_cast<std::size_t>(at - start);
  }

  void write(const RowChunk& chunk) override {
    std::size_t start = 0;
    std::int32_t isound = chunk.first;
    for (std::size_t r = 0; r < chunk.row_ends.size();) {
      const std::size_t length = chunk.row_ends[r] - start;
      std::size_t count = 1;
      while (r + count < chunk.row_ends.size() && chunk.row_ends[r + count] - chunk.row_ends[r + count - 1] == length) {
        ++count;
      }
      if (out_.write_block(chunk.text.data() + start, count * length, length, record_tag(OutputRecord::row, isound)) !=
          textio::IoStatus::ok) {
        stop_for_lost_record(out_, file_name_);
      }
      start += count * length;
      isound += static_cast<std::int32_t>(count);
      r += count;
    }
  }

 private:
  char* render_row(std::int32_t isound, char* at) const {
    const auto index = static_cast<std::size_t>(isound - 1);
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
  const ColumnPlan& plan_;
  std::vector<ColumnPlace> places_;
  const std::span<const double> x_exact_;
  const std::span<const double> y_exact_;
  textio::OutputUnit& out_;
  const std::string_view file_name_;
};

}  // namespace

std::vector<std::string> csv_column_names(const ColumnPlan& plan) {
  // Each round qualifies the names that still clash; the last qualifier
  // names the column's place, which no other column has.
  std::vector<Qualifier> qualifiers(plan.size(), Qualifier::none);
  for (const Qualifier next : {Qualifier::transmitter, Qualifier::frequency_and_transmitter}) {
    std::map<std::string, int> uses;
    for (std::size_t c = 0; c < plan.size(); ++c) ++uses[column_name(plan[c], qualifiers[c])];
    for (std::size_t c = 0; c < plan.size(); ++c) {
      if (uses[column_name(plan[c], qualifiers[c])] > 1) qualifiers[c] = next;
    }
  }
  std::vector<std::string> names = {"x", "y", "height"};
  for (std::size_t c = 0; c < plan.size(); ++c) names.push_back(column_name(plan[c], qualifiers[c]));
  return names;
}

void write_csv(const reader::SoundingArrays& arrays, std::int32_t nsound, const ColumnPlan& plan,
               std::span<const double> x_exact, std::span<const double> y_exact, textio::OutputUnit& out,
               std::string_view file_name) {
  std::string header;
  for (const std::string& name : csv_column_names(plan)) (header += name) += ',';
  header.back() = '\n';
  if (out.write_block(header.data(), header.size(), header.size(), record_tag(OutputRecord::header)) !=
      textio::IoStatus::ok) {
    stop_for_lost_record(out, file_name);
  }
  CsvRows rows(arrays, plan, x_exact, y_exact, out, file_name);
  render_and_write(rows, nsound);
}

}  // namespace korvan::driver
