// The dimension scan.
//
// The first soundings, scanned alone, give a guess of the extents and of the
// bytes per sounding. Arrays are made for the guess, and the whole file is
// walked once, in pieces on a large file, storing each sounding while it
// fits. Each piece's soundings go to room of their own in the arrays until
// the counts before them are known; then they are moved down. Where the
// guess did not hold, the load reads the file again into arrays of the
// extents found.
#include "reader/getdims.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "reader/entry_walk.h"
#include "textio/free_format_reader.h"
#include "textio/input_unit.h"

namespace korvan::reader::getdims_mod {
namespace {

using textio::IoStatus;

// The first soundings give the extents to guess; a sample this long is cheap.
constexpr std::int64_t kSampleSoundings = 16;
constexpr std::size_t kSampleBuffer = std::size_t{64} << 10;

struct Sample {
  WalkOutcome outcome;
  std::uint64_t end_offset = 0;  // where the sample's soundings end
};

Sample scan_sample(const std::string& path, std::uint64_t first_offset) {
  Sample sample;
  textio::InputUnit unit(kSampleBuffer);
  if (unit.open(path, first_offset) != IoStatus::ok) return sample;
  EntryReader in(unit);
  EntryWalk::Limits limits;
  limits.soundings = kSampleSoundings;
  sample.outcome = EntryWalk(in, Pass::scan).run(1, limits);
  sample.end_offset = unit.position();
  return sample;
}

// A piece of the file and the room its soundings have in the arrays.
struct Piece {
  explicit Piece(std::uint64_t start) : offset(start) {}
  std::uint64_t offset = 0;
  std::int64_t room_first = 1;
  std::int64_t room_last = 0;
  WalkOutcome outcome;
  bool opened = false;
};

// Room for an estimated count, with an eighth more to spare: the sizes of
// soundings vary (the first ones may be longer than the rest). The moves
// give back what is left over.
std::int64_t room(std::int64_t estimate) { return estimate + estimate / 8 + 1024; }

// The pieces' rooms, from the sample's bytes per sounding, and the arrays'
// sounding extent: the header's count, but no more than the file can hold,
// so that a header that overstates it does not size arrays for soundings
// that are not there.
std::int64_t plan_rooms(std::vector<Piece>& pieces, const Sample& sample, std::int64_t announced,
                        std::uint64_t file_bytes) {
  const std::uint64_t first = pieces.front().offset;
  const std::uint64_t per_sounding =
      std::max<std::uint64_t>(1, (sample.end_offset - first) / static_cast<std::uint64_t>(sample.outcome.soundings));
  const auto soundings_before = [&](std::uint64_t offset) {
    return static_cast<std::int64_t>((offset - first) / per_sounding);
  };
  std::int64_t before = 0;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    const std::int64_t here = soundings_before(pieces[i].offset);
    pieces[i].room_first = pieces[i - 1].room_first + room(here - before);
    pieces[i - 1].room_last = pieces[i].room_first - 1;
    before = here;
  }
  const std::int64_t total = soundings_before(file_bytes);
  std::int64_t capacity = std::min(announced, room(total));
  if (pieces.size() > 1) capacity = std::max(capacity, pieces.back().room_first - 1 + room(total - before));
  pieces.back().room_last = capacity;
  return capacity;
}

// Arrays for the guessed extents, or nullopt where they are not to be made.
std::optional<SoundingArrays> guess_arrays(Dimensions guess, std::int64_t capacity, const ReadOptions& options) {
  if (!options.load_on_the_way || capacity > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  guess.nsound = static_cast<std::int32_t>(capacity);
  const std::optional<std::uint64_t> bytes = sounding_array_bytes(guess);
  if (!bytes || *bytes > options.max_array_bytes) return std::nullopt;
  std::optional<SoundingArrays> arrays = allocate_sounding_arrays(guess);
  if (arrays && options.exact_coordinates) arrays->keep_exact_coordinates();
  if (arrays) arrays->empty_as_nan = options.empty_as_nan;
  return arrays;
}

// Walks every piece, two threads taking them in turn. A piece's walk ends
// at the start of any later piece; a fault of the structure makes the
// pieces after it pointless.
void walk_pieces(const std::string& path, std::vector<Piece>& pieces, const std::vector<std::uint64_t>& starts,
                 SoundingArrays* arrays) {
  // Each walk reads its flag once per sounding: a flag of its own cache
  // line, so that writes to whatever else the heap put next to it (another
  // thread's reading state, measured) do not make every read a miss.
  struct alignas(64) Flag {
    std::atomic<bool> value{false};
  };
  const auto cancelled = std::make_unique<Flag[]>(pieces.size());
  struct Worker {
    std::unique_ptr<textio::InputUnit> unit = std::make_unique<textio::InputUnit>();
  };
  share_between_threads(
      pieces.size(), [] { return Worker{}; },
      [&](Worker& worker, std::size_t i) {
        Piece& piece = pieces[i];
        if (cancelled[i].value.load() || worker.unit->open(path, piece.offset) != IoStatus::ok) return;
        piece.opened = true;
        EntryReader in(*worker.unit);
        EntryWalk::Limits limits;
        limits.stops = std::span<const std::uint64_t>(starts).subspan(i);
        limits.cancel = &cancelled[i].value;
        piece.outcome = EntryWalk(in, Pass::scan, arrays, piece.room_last).run(piece.room_first, limits);
        (void)worker.unit->close();
        if (piece.outcome.fault) {
          for (std::size_t later = i + 1; later < pieces.size(); ++later) cancelled[later].value = true;
        }
      });
}

// A fault found in a piece, numbered from the file's start.
Fault numbered(Fault fault, const Piece& piece, std::int64_t soundings_before) {
  fault.place.isound += soundings_before - (piece.room_first - 1);
  return fault;
}

struct Joined {
  std::int64_t soundings = 0;
  Dimensions largest;
  std::optional<Fault> fault;
  Noted empty;
  Noted ignored;
  bool overflow = false;
  std::vector<SoundingArrays::Move> moves;
};

// The pieces' outcomes in file order: each piece counts from the end of the
// one before it; pieces that a walk passed over count for nothing.
Joined join(const DataFile& file, std::vector<Piece>& pieces) {
  Joined all;
  for (std::size_t i = 0;;) {
    Piece& piece = pieces[i];
    if (!piece.opened || piece.outcome.end == WalkOutcome::End::cancelled) {
      // Only where the file went away, or where a piece was given up after
      // a fault in a piece that a walk passed over: walk it here, counting.
      textio::InputUnit unit;
      if (unit.open(file.path, piece.offset) == IoStatus::ok) {
        EntryReader in(unit);
        piece.outcome = EntryWalk(in, Pass::scan).run(piece.room_first, {});
      }
      piece.outcome.overflow = true;
    }
    const WalkOutcome& o = piece.outcome;
    if (!all.fault && o.deferred) all.fault = numbered(*o.deferred, piece, all.soundings);
    for (const auto& [total, part] : {std::pair{&all.empty, &o.empty}, std::pair{&all.ignored, &o.ignored}}) {
      if (part->first) total->note(numbered(*part->first, piece, all.soundings), part->count);
    }
    if (o.fault) stop_at(numbered(*o.fault, piece, all.soundings), Pass::scan, file, all.fault);
    all.moves.push_back({piece.room_first, o.soundings, all.soundings + 1});
    all.soundings += o.soundings;
    if (all.soundings > std::numeric_limits<std::int32_t>::max()) {
      stop_at(Fault{FaultKind::sounding_unreadable, {all.soundings}, {}}, Pass::scan, file);
    }
    all.largest.maxfreq = std::max(all.largest.maxfreq, o.largest.maxfreq);
    all.largest.maxtx = std::max(all.largest.maxtx, o.largest.maxtx);
    all.largest.maxrx = std::max(all.largest.maxrx, o.largest.maxrx);
    all.overflow = all.overflow || o.overflow;
    if (o.end != WalkOutcome::End::stop_reached) return all;
    i += 1 + o.stop_index;
  }
}

}  // namespace

Scan getdims(const DataFile& file, textio::Console& console, const ReadOptions& options) {
  if (!textio::file_exists(file.path)) stop_at(FileStop::missing, file);
  textio::InputUnit unit(kSampleBuffer);
  if (unit.open(file.path) != IoStatus::ok) stop_at(FileStop::open_for_scan, file, unit.error_text());
  std::int32_t announced = 0;
  const textio::Item header[] = {textio::Item::of(announced)};
  textio::FreeFormatReader header_reader(unit);
  const IoStatus status = header_reader.read(header);
  if (status != IoStatus::ok) {
    stop_at(FileStop::header_unreadable, file, {}, HeaderRead{status, header_reader.value_position(), announced});
  }
  if (announced < 1) {
    stop_at(FileStop::header_count_low, file, {}, HeaderRead{status, header_reader.value_position(), announced});
  }
  const std::uint64_t first_offset = unit.position();
  const std::uint64_t file_bytes = unit.file_size();

  const Sample sample = scan_sample(file.path, first_offset);
  const bool guessed = sample.outcome.soundings > 0 && !sample.outcome.fault;
  std::vector<Piece> pieces = {Piece{first_offset}};
  std::vector<std::uint64_t> starts;
  std::optional<SoundingArrays> arrays;
  if (guessed) {
    if (file_bytes >= options.pieces_minimum_bytes && sample.outcome.soundings == kSampleSoundings) {
      const std::atomic<bool> never{false};
      starts = plan_piece_starts(file.path, file_bytes, sample.end_offset, never);
      for (const std::uint64_t start : starts) pieces.push_back(Piece{start});
    }
    const std::int64_t capacity = plan_rooms(pieces, sample, announced, file_bytes);
    arrays = guess_arrays(sample.outcome.largest, capacity, options);
  }
  walk_pieces(file.path, pieces, starts, arrays ? &*arrays : nullptr);
  const Joined all = join(file, pieces);

  Scan scan;
  scan.dims = all.largest;
  scan.dims.nsound = static_cast<std::int32_t>(all.soundings);
  scan.fault = all.fault;
  scan.announced = announced;
  scan.empty = all.empty;
  scan.ignored = all.ignored;
  scan.pieces = pieces.size();
  if (arrays && !all.overflow && !all.fault) {
    if (pieces.size() > 1) {
      // The moves are shared between both threads, array by array.
      share_between_threads(
          2, [] { return 0; },
          [&](int, std::size_t part) { arrays->move_soundings(all.moves, all.soundings, static_cast<int>(part), 2); });
    }
    arrays->keep_soundings(scan.dims.nsound);
    scan.arrays = std::move(arrays);
    scan.loaded = true;
  }
  console.write_record(count_notice(file.name, scan.dims.nsound, announced));
  if (unit.close() != IoStatus::ok) stop_at(FileStop::close_after_scan, file, unit.error_text());
  return scan;
}

textio::TextPosition sounding_start(const DataFile& file, std::int64_t isound) {
  textio::InputUnit unit;
  if (unit.open(file.path) != IoStatus::ok) return {};
  std::int32_t announced = 0;
  const textio::Item header[] = {textio::Item::of(announced)};
  if (textio::FreeFormatReader(unit).read(header) != IoStatus::ok) return {};
  EntryReader in(unit);
  EntryWalk::Limits before;
  before.soundings = isound - 1;
  (void)EntryWalk(in, Pass::scan).run(1, before);
  return {in.next_entry_position(), 0};
}

}  // namespace korvan::reader::getdims_mod
