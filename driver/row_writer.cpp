// Every row has the layout of sounding 1 (the checks made sure it exists in
// every sounding); the values come from the sounding being written.
#include "driver/row_writer.h"

#include <string>

#include "driver/output_records.h"
#include "driver/stops.h"
#include "textio/fixed_format.h"
#include "textio/format.h"

namespace korvan::driver {
namespace {

void put_g(Field& field, float value) {
  textio::render_g(field, 5, value);
  textio::right_adjust(field);
}

}  // namespace

void write_rows(const reader::SoundingArrays& a, std::int32_t nsound, std::vector<Field>& fields_a,
                textio::OutputUnit& out) {
  const std::int32_t nfreq = a.nfreqs(1);
  std::optional<textio::Format> row_format;
  std::vector<textio::FormatItem> items;
  std::string record;
  char x_text[15];
  char y_text[15];

  for (std::int32_t isound = 1; isound <= nsound; ++isound) {
    textio::render_f(x_text, 5, a.soundx(isound));
    textio::right_adjust(x_text);
    textio::render_f(y_text, 5, a.soundy(isound));
    textio::right_adjust(y_text);
    put_g(fields_a[0], -a.zt(1, 1, isound));

    std::size_t counter = 1;
    for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) {
      const std::int32_t ntx = a.nt(ifreq, 1);
      for (std::int32_t it = 1; it <= ntx; ++it) {
        const reader::Datum& datum = a.prd(1, it, ifreq, isound);
        switch (a.octype(1, it, ifreq, 1)) {
          case 'i':
            put_g(fields_a[counter++], datum.inphase);
            break;
          case 'q':
            put_g(fields_a[counter++], datum.quadrature);
            break;
          case 'b':
            put_g(fields_a[counter++], datum.inphase);
            put_g(fields_a[counter++], datum.quadrature);
            break;
          default:
            estop("second instance of inphase/quadrature inconsistency");
        }
      }
    }

    // Every row has the same number of fields, so the row format text is the
    // same for all of them: compiled once.
    if (!row_format) {
      const std::string count = textio::integer_text(static_cast<std::int64_t>(counter), 9);
      row_format = textio::Format::compile("(2(1X,A15)," + count + "(1X,A12))");
      items.reserve(counter + 2);
    }
    items.clear();
    items.emplace_back(std::string_view(x_text, sizeof x_text));
    items.emplace_back(std::string_view(y_text, sizeof y_text));
    for (std::size_t i = 0; i < counter; ++i) items.emplace_back(std::string_view(fields_a[i].data(), 12));
    row_format->write(items, record);
    if (out.write_record(record, record_tag(OutputRecord::row, isound)) != textio::IoStatus::ok) {
      estop(write_failure_message(out.failed_record()));
    }
  }
}

}  // namespace korvan::driver
