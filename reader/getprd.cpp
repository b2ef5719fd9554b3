// The data load's second pass: one thread, from the file's start, into the
// arrays made for the scan's extents. A file that changed since the scan is
// stopped before anything is written outside them.
#include "reader/getprd.h"

#include "reader/entry_walk.h"
#include "textio/free_format_reader.h"
#include "textio/input_unit.h"

namespace korvan::reader::getprd_mod {

void getprd(const DataFile& file, Scan& scan) {
  if (scan.fault) stop_at(*scan.fault, Pass::load, file);
  if (scan.loaded) return;

  if (!textio::file_exists(file.path)) stop_at(FileStop::missing, file);
  textio::InputUnit unit;
  if (unit.open(file.path) != textio::IoStatus::ok) stop_at(FileStop::open_for_load, file, unit.error_text());
  std::int32_t announced = 0;  // read and not used: the scan's count rules
  const textio::Item header[] = {textio::Item::of(announced)};
  if (textio::FreeFormatReader(unit).read(header) != textio::IoStatus::ok) {
    stop_at(FileStop::header_unreadable_in_load, file, "the number of soundings cannot be read again");
  }
  EntryReader in(unit);
  EntryWalk::Limits all;
  all.soundings = scan.dims.nsound;
  const WalkOutcome outcome = EntryWalk(in, Pass::load, &*scan.arrays, scan.dims.nsound).run(1, all);
  if (outcome.fault) stop_at(*outcome.fault, Pass::load, file);
  if (unit.close() != textio::IoStatus::ok) stop_at(FileStop::close_after_load, file, unit.error_text());
  scan.loaded = true;
}

}  // namespace korvan::reader::getprd_mod
