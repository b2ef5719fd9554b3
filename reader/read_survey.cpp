// The reading of a survey, in the order it happens: the header; the first
// soundings, which give sounding 1 and the bytes a sounding takes; the rest
// in pieces on two threads (or in one piece); then the faults in the order
// the dialogue reports them, and the survey.
#include "reader/read_survey.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "reader/entry_walk.h"
#include "reader/getdims.h"
#include "reader/getprd.h"
#include "reader/pieces.h"
#include "text/free_format_reader.h"
#include "text/input_unit.h"

namespace korvan::reader {
namespace {

using getdims_mod::Scan;
using getprd_mod::ArraysStore;
using getprd_mod::Load;
using text::IoStatus;

// The first soundings are read alone: they give sounding 1 and the bytes of
// a sounding, from which stores are sized.
constexpr std::int64_t kSampleSoundings = 16;
// With pieces from 0 bytes on (tests), every piece is as small as may be:
// sounding 1 alone, then pieces of a few lines.
constexpr std::size_t kSmallestPieceBytes = 256;
constexpr std::size_t kFirstBuffer = std::size_t{64} << 10;
// Pieces cut ahead of the one being joined: enough to keep both threads busy.
constexpr std::size_t kPiecesAhead = 3;

void configure(EntryReader& in, const ReadOptions& options) {
  if (options.exact_coordinates) in.read_exact_coordinates();
  if (options.empty_as_nan) in.mark_empty_values();
}

// Whether a walk ran out of text inside an entry: at the end of a piece, a
// cut in the wrong place.
bool ran_out(WalkEnd end, const std::optional<Fault>& fault) {
  return end == WalkEnd::partial || (end == WalkEnd::fault && fault->status == IoStatus::end_of_file);
}

// The number of soundings. A header that is a word (`yes | korvan2col -`)
// or a line too long stops at once; other faults of data read to their end
// first wait for that end, in case the data cannot be read or inflated.
std::int32_t read_header(text::InputUnit& unit, text::DataSource& data) {
  std::int32_t announced = 0;
  const text::Item header[] = {text::Item::of(announced)};
  text::FreeFormatReader reader(unit);
  const IoStatus status = reader.read(header);
  if (status == IoStatus::ok && announced >= 1) return announced;
  const HeaderRead read{status, reader.value_position(), announced};
  const std::string found = read.where.found.str();
  const bool word = !found.empty() && std::isalpha(static_cast<unsigned char>(found.front())) != 0;
  if (data.read_to_end_before_faults() && status != IoStatus::too_long && !word) data.read_to_end();
  if (data.failed()) stop_at(FileStop::unreadable, data);
  stop_at(status == IoStatus::ok ? FileStop::header_count_low : FileStop::header_unreadable, data, read);
}

// Room for a share of a survey: the soundings its bytes hold, with an eighth
// more to spare, for sizes vary.
std::int64_t room_for(std::uint64_t bytes, double bytes_per_sounding) {
  const double soundings = static_cast<double>(bytes) / std::max(bytes_per_sounding, 1.0);
  return static_cast<std::int64_t>(std::min(soundings * 1.125 + 64, 1e12));
}

// What walking a piece gives.
struct PieceResult {
  Reading reading;
  WalkEnd end = WalkEnd::end_of_input;
  std::optional<ArraysStore> store;  // its soundings, where all are stored
  bool out_of_memory = false;
};

class SurveyReading {
 public:
  SurveyReading(text::DataSource& data, const ReadOptions& options)
      : data_(data), options_(options), store_(options.exact_coordinates) {}

  Survey run(console::Console& console);

 private:
  void first_soundings(text::InputUnit& unit);
  void pieces(std::string_view first_bytes);
  PieceResult walk_piece(const Piece& piece) const;
  void join(PieceResult& piece);
  void in_one_piece(std::vector<std::string> parts);
  // A store for a piece: one given back by a piece joined before, whose
  // memory is ready, or a new one.
  std::optional<ArraysStore> piece_store(std::int64_t capacity) const;
  void give_back(std::optional<ArraysStore>& store);

  text::DataSource& data_;
  const ReadOptions& options_;
  Scan scan_;
  ArraysStore store_;
  std::atomic<bool> storing_{false};
  bool out_of_memory_ = false;
  double bytes_per_sounding_ = 0;
  std::size_t pieces_ = 1;
  mutable std::mutex spare_mutex_;
  mutable std::vector<ArraysStore> spare_stores_;
};

std::optional<ArraysStore> SurveyReading::piece_store(std::int64_t capacity) const {
  {
    const std::lock_guard lock(spare_mutex_);
    if (!spare_stores_.empty()) {
      std::optional<ArraysStore> store(std::move(spare_stores_.back()));
      spare_stores_.pop_back();
      store->keep(0);
      if (store->room(capacity)) return store;
      return std::nullopt;
    }
  }
  std::optional<ArraysStore> store(std::in_place, options_.exact_coordinates);
  if (!store->make(*scan_.first(), capacity)) return std::nullopt;
  return store;
}

void SurveyReading::give_back(std::optional<ArraysStore>& store) {
  if (!store) return;
  const std::lock_guard lock(spare_mutex_);
  spare_stores_.push_back(std::move(*store));
  store.reset();
}

// The header and the first soundings, read as they come.
void SurveyReading::first_soundings(text::InputUnit& unit) {
  const std::size_t start = unit.position();
  const bool in_pieces = options_.pieces_from_bytes == 0 || data_.size_hint() >= options_.pieces_from_bytes ||
                         data_.read_to_end_before_faults();
  EntryReader in(unit);
  configure(in, options_);
  const bool smallest = options_.pieces_from_bytes == 0;
  Load load(scan_, &store_, 0,
            in_pieces ? (smallest ? 1 : kSampleSoundings) : std::numeric_limits<std::int64_t>::max());
  EntryWalk walk(in, load);
  const WalkEnd end = walk.run();
  Reading& reading = scan_.reading();
  reading.fault = walk.fault();
  reading.lines = unit.last_record_line();
  storing_ = load.storing();
  out_of_memory_ = load.out_of_memory();
  if (reading.soundings > 0) {
    bytes_per_sounding_ = static_cast<double>(unit.position() - start) / static_cast<double>(reading.soundings);
  }
  if (storing_ && data_.size_hint() > 0) {
    // Room for the whole file at once: the header's count, if the file can
    // hold that many.
    const std::int64_t room = std::min<std::int64_t>(room_for(data_.size_hint(), bytes_per_sounding_), 0x7fffffff);
    (void)store_.room(std::max<std::int64_t>(1, room));
  }
  if (end == WalkEnd::stopped) pieces(unit.unread());
}

PieceResult SurveyReading::walk_piece(const Piece& piece) const {
  PieceResult result;
  text::InputUnit unit;
  unit.attach(piece.bytes.get(), piece.size);
  EntryReader in(unit);
  configure(in, options_);
  Scan scan(scan_.first());
  if (storing_) {
    result.store = piece_store(room_for(piece.size, bytes_per_sounding_));
    result.out_of_memory = !result.store;
  }
  Load load(scan, result.store ? &*result.store : nullptr);
  EntryWalk walk(in, load);
  result.end = walk.run();
  result.reading = std::move(scan.reading());
  result.reading.fault = walk.fault();
  result.reading.lines = unit.last_record_line();
  if (result.store && load.storing()) {
    result.store->keep(result.reading.soundings);
  } else {
    result.out_of_memory = result.out_of_memory || load.out_of_memory();
    result.store.reset();
  }
  return result;
}

// A piece's results after those before it.
void SurveyReading::join(PieceResult& piece) {
  Reading& all = scan_.reading();
  all.add(piece.reading);
  if (!storing_) return;
  if (!piece.store || all.deferred || !all.layout.suitable()) {
    storing_ = false;
    out_of_memory_ = piece.out_of_memory;
    return;
  }
  if (!store_.append(*piece.store)) {
    storing_ = false;
    out_of_memory_ = true;
  }
  give_back(piece.store);
}

void SurveyReading::pieces(std::string_view first_bytes) {
  if (storing_) store_.keep(scan_.reading().soundings);
  PieceCutter cutter(data_, first_bytes, options_.pieces_from_bytes == 0 ? kSmallestPieceBytes : options_.piece_bytes);
  PieceWorkers<PieceResult> workers([this](const Piece& piece) { return walk_piece(piece); });
  bool more = true;
  for (;;) {
    while (more && workers.waiting() < kPiecesAhead) {
      std::optional<Piece> piece = cutter.next();
      more = piece && !piece->last;
      if (piece) workers.add(std::move(*piece));
    }
    if (workers.waiting() == 0) break;
    auto [piece, result] = workers.take();
    if (ran_out(result.end, result.reading.fault) && !piece.last) {
      // The cut before the next piece is not where a sounding starts: the
      // rest is read in one piece from this one's start.
      std::vector<std::string> parts = {std::string(piece.bytes.get(), piece.size)};
      for (const Piece& later : workers.drop()) parts.emplace_back(later.bytes.get(), later.size);
      parts.emplace_back(cutter.held());
      in_one_piece(std::move(parts));
      return;
    }
    ++pieces_;
    join(result);
    cutter.recycle(std::move(piece));
    if (scan_.reading().fault || data_.failed()) return;
  }
  if (cutter.stuck()) in_one_piece({std::string(cutter.held())});
}

// The rest of the text from a sounding start on, read as it comes.
void SurveyReading::in_one_piece(std::vector<std::string> parts) {
  ChainedText text(std::move(parts), data_);
  text::InputUnit unit;
  unit.attach(text);
  EntryReader in(unit);
  configure(in, options_);
  Scan scan(scan_.first());
  const std::int64_t before = scan_.reading().soundings;
  Load load(scan, storing_ ? &store_ : nullptr, before);
  EntryWalk walk(in, load);
  walk.run();
  PieceResult rest;
  rest.reading = std::move(scan.reading());
  rest.reading.fault = walk.fault();
  rest.reading.lines = unit.last_record_line();
  ++pieces_;
  scan_.reading().add(rest.reading);
  if (storing_ && !load.storing()) {
    storing_ = false;
    out_of_memory_ = load.out_of_memory();
  }
}

Survey SurveyReading::run(console::Console& console) {
  text::InputUnit unit(kFirstBuffer);
  unit.attach(data_);
  Survey survey;
  survey.announced = read_header(unit, data_);
  first_soundings(unit);

  Reading& all = scan_.reading();
  if (all.soundings > std::numeric_limits<std::int32_t>::max() && !all.fault) {
    all.fault = Fault{FaultKind::sounding_unreadable, {all.soundings}, {all.lines + 1, 0, {}}, IoStatus::ok, 0, {}};
  }
  if (all.fault) {
    if (data_.read_to_end_before_faults() && all.fault->status != IoStatus::too_long) data_.read_to_end();
    if (data_.failed()) stop_at(FileStop::unreadable, data_);
    stop_at(*all.fault, data_, all.deferred);
  }
  if (data_.failed()) stop_at(FileStop::unreadable, data_);

  survey.dims = all.largest;
  survey.dims.nsound = static_cast<std::int32_t>(all.soundings);
  console.write_record(count_notice(data_.name(), all.soundings, survey.announced));

  // The arrays: stored as they came where the data fit a column layout; for
  // other data, the system is asked whether it would give them, as it would
  // be before the values were checked.
  const bool stored = storing_ && all.layout.suitable() && !all.deferred && all.soundings > 0;
  if (stored) {
    store_.keep(all.soundings);
    survey.arrays = std::move(store_.arrays());
  } else {
    store_.arrays().reset();
    if (out_of_memory_ && all.layout.suitable() && !all.deferred) stop_arrays_refused();
    if (all.soundings > 0 && !sounding_arrays_fit(survey.dims)) stop_arrays_refused();
  }
  if (all.deferred) stop_at(*all.deferred, data_);

  survey.layout = all.layout;
  survey.empty = all.empty;
  survey.ignored = all.ignored;
  survey.labels = all.labels;
  survey.pieces = pieces_;
  return survey;
}

}  // namespace

Survey read_survey(text::DataSource& data, console::Console& console, const ReadOptions& options) {
  if (data.state() == text::DataSource::State::missing) stop_at(FileStop::missing, data);
  if (data.state() == text::DataSource::State::unreadable) stop_at(FileStop::unreadable, data);
  SurveyReading reading(data, options);
  return reading.run(console);
}

}  // namespace korvan::reader
