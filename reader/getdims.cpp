// The dimension scan.
#include "reader/getdims.h"

#include <cstdint>
#include <limits>
#include <string>

#include "reader/messages.h"
#include "textio/free_format_reader.h"
#include "textio/input_unit.h"

namespace korvan::reader::getdims_mod {
namespace {

using textio::IoStatus;
using textio::Item;

std::string quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

}  // namespace

Dimensions getdims(std::string_view name, textio::Console& console) {
  if (!textio::file_exists(name)) emsgstop("file " + quoted(name) + " does not exist");
  textio::InputUnit unit;
  if (unit.open(name) != IoStatus::ok) emsgstop("error opening predicted data file " + quoted(name));
  textio::FreeFormatReader reader(unit);

  Dimensions dims;
  {
    const Item header[] = {Item::of(dims.nsound)};
    if (reader.read(header) != IoStatus::ok) {
      emsgstop("error reading number of soundings from " + quoted(name));
    }
  }
  if (dims.nsound < 1) emsgstop("number of soundings read in is less than 1");

  // Scratch values: read, tested where counts, never kept.
  float x = 0;
  float y = 0;
  float value = 0;
  float height = 0;
  char orientation[1] = {' '};
  std::int64_t count = 0;
  for (;;) {
    std::int32_t nfreq = 0;
    const Item sounding[] = {Item::of(x), Item::of(y), Item::of(nfreq)};
    const IoStatus status = reader.read(sounding);
    if (status == IoStatus::end_of_file) break;
    ++count;
    // Rendered only for a message: the scan's hot loop does not allocate.
    const auto s = [count] { return sounding_text(count); };
    if (status != IoStatus::ok || count > std::numeric_limits<std::int32_t>::max()) {
      emsgstop("error reading no. of frequencies for sounding " + s());
    }
    if (nfreq < 1) emsgstop("no. of frequencies for sounding " + s() + " < 1");
    if (nfreq > dims.maxfreq) dims.maxfreq = nfreq;

    for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) {
      std::int32_t ntx = 0;
      const Item frequency[] = {Item::of(value), Item::of(ntx)};
      const bool read_ok = reader.read(frequency) == IoStatus::ok;
      if (!read_ok || ntx < 1) {
        const std::string loc = scan_frequency_location(index_text(ifreq), s());
        if (!read_ok) emsgstop("error reading no. of transmitters for " + loc);
        emsgstop("no. of transmitters < 1 for " + loc);
      }
      if (ntx > dims.maxtx) dims.maxtx = ntx;

      for (std::int32_t it = 1; it <= ntx; ++it) {
        std::int32_t nrx = 0;
        const Item transmitter[] = {Item::of(value), Item::of(height), Item::of(orientation), Item::of(nrx)};
        const bool tx_ok = reader.read(transmitter) == IoStatus::ok;
        if (!tx_ok || nrx < 1) {
          const std::string loc = scan_transmitter_location(index_text(it), index_text(ifreq), s());
          if (!tx_ok) emsgstop("error reading no. of receivers for " + loc);
          emsgstop("no. or receivers < 1 for " + loc);
        }
        if (nrx > dims.maxrx) dims.maxrx = nrx;

        for (std::int32_t ir = 1; ir <= nrx; ++ir) {
          if (reader.read({}) != IoStatus::ok) {
            emsgstop("error skipping data for " +
                     scan_receiver_location(index_text(ir), index_text(it), index_text(ifreq), s()));
          }
        }
      }
    }
  }

  const auto found = static_cast<std::int32_t>(count);
  if (found == dims.nsound) {
    console.write_record("  " + sounding_text(dims.nsound) + " soundings read from " + quoted(name) + ".");
  } else {
    console.write_record("  " + sounding_text(found) + " soundings read from " + quoted(name) + " (not " +
                         sounding_text(dims.nsound) + " as advertised).");
    dims.nsound = found;
  }
  if (unit.close() != IoStatus::ok) emsgstop("error closing " + quoted(name) + " after counting data");
  return dims;
}

}  // namespace korvan::reader::getdims_mod
