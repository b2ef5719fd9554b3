// The arrays a reading may ask the system for, found before the fuzz targets
// read: the sanitizers and libFuzzer's malloc limit count even the untouched
// pages of a large block, so data whose arrays would pass a limit are left
// out (the converter's own handling of large arrays is tested end to end,
// without sanitizers).
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "reader/entry_walk.h"
#include "reader/getdims.h"
#include "reader/sounding_arrays.h"
#include "text/data_source.h"
#include "text/free_format_reader.h"
#include "text/input_unit.h"

namespace korvan::fuzzing {

// Whether arrays of the soundings and the largest counts that `text` holds,
// as the counting walk finds them, would take more than `limit` bytes.
inline bool arrays_beyond(std::string text, std::uint64_t limit) {
  text::DataSource data = text::DataSource::from_bytes("", std::move(text));
  text::InputUnit unit;
  unit.attach(data);
  std::int32_t announced = 0;
  const text::Item header[] = {text::Item::of(announced)};
  if (text::FreeFormatReader(unit).read(header) != text::IoStatus::ok) return false;
  reader::EntryReader in(unit);
  reader::getdims_mod::Scan scan;
  reader::EntryWalk walk(in, scan);
  walk.run();
  reader::Dimensions dims = scan.reading().largest;
  dims.nsound = static_cast<std::int32_t>(
      std::min<std::int64_t>(scan.reading().soundings, std::numeric_limits<std::int32_t>::max()));
  const std::optional<std::uint64_t> bytes = reader::sounding_array_bytes(dims);
  return !bytes || *bytes > limit;
}

}  // namespace korvan::fuzzing
