// The reading of a survey behind the door, in the order it happens: the
// header; the first soundings, which give sounding 1 and the bytes a sounding
// takes; the rest in pieces on two threads (or in one piece); then the faults
// in the order the dialogue reports them, and the survey.
//
// What keeps the soundings' values is a store, chosen by the caller of
// read_survey_into: the seventeen arrays (getprd_mod::ArraysStore, for
// read_survey) or any other with the same members:
//   bool make(const FirstSounding&, std::int64_t capacity);   room, no sounding
//   bool start(const FirstSounding&, std::int64_t capacity);  room, sounding 1 in it
//   bool room(std::int64_t isound);                           false: memory refused
//   std::int64_t capacity() const;                             soundings there is room for
//   void sounding(std::int64_t isound, const SoundingEntry&);
//   void frequency(const Place&, const FrequencyEntry&);
//   void transmitter(const Place&, const TransmitterEntry&);
//   void receiver(const Place&, const ReceiverEntry&);
//   void keep(std::int64_t n);                                 hold the first n
//   void copy_in(std::int64_t at, const Store& later);         later's after the first at
// A store is given only soundings that fit a column layout, every one with
// the counts of sounding 1 and one receiver per transmitter. copy_in stays
// within the room there is and touches nothing keep does: a thread walking
// a piece copies it into place beside the thread joining the pieces, which
// alone makes room, while no copy runs.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "reader/entry_walk.h"
#include "reader/getdims.h"
#include "reader/getprd.h"
#include "reader/pieces.h"
#include "reader/read_survey.h"
#include "text/input_unit.h"

namespace korvan::reader {

// A survey with its soundings in a store of the caller's choice: `stored`
// holds them where they fit a column layout, as read_survey's arrays would.
template <typename Store>
struct StoredSurvey : SurveyNotes {
  std::optional<Store> stored;
};

// The steps of a reading that do not depend on its store (read_survey.cpp).
namespace reading_steps {

// The first soundings are read alone: they give sounding 1 and the bytes of
// a sounding, from which stores are sized.
inline constexpr std::int64_t kSampleSoundings = 16;
// With pieces from 0 bytes on (tests), every piece is as small as may be:
// sounding 1 alone, then pieces of a few lines.
inline constexpr std::size_t kSmallestPieceBytes = 256;
inline constexpr std::size_t kFirstBuffer = std::size_t{64} << 10;
// Pieces cut ahead of the one being joined: enough to keep both threads busy.
inline constexpr std::size_t kPiecesAhead = 4;

// Stops when the data could not be opened.
void check_opened(const text::DataSource& data);
void configure(EntryReader& in, const ReadOptions& options);
// Whether a walk ran out of text inside an entry: at the end of a piece, a
// cut in the wrong place.
bool ran_out(WalkEnd end, const std::optional<Fault>& fault);
// The number of soundings, or the stop.
std::int32_t read_header(text::InputUnit& unit, text::DataSource& data);
// Room for a share of a survey: the soundings its bytes hold, with an eighth
// more to spare, for sizes vary.
std::int64_t room_for(std::uint64_t bytes, double bytes_per_sounding);
// Stops at the first fault of the reading, in the order the dialogue
// reports them.
void stop_at_faults(Reading& all, text::DataSource& data);
// The arrays that data unlike a column layout would need: stops when the
// system would refuse them, as it would before the values were checked.
void check_arrays_would_fit(const Reading& all, const Dimensions& dims, bool out_of_memory);

}  // namespace reading_steps

template <typename Store>
class SurveyReading {
 public:
  SurveyReading(text::DataSource& data, const ReadOptions& options, std::function<Store()> make_store)
      : data_(data), options_(options), make_store_(std::move(make_store)), store_(make_store_()) {}

  StoredSurvey<Store> run(console::Console& console);

 private:
  // What walking a piece gives.
  struct PieceResult {
    Reading reading;
    WalkEnd end = WalkEnd::end_of_input;
    std::unique_ptr<Store> store;  // its soundings, where all are stored
    bool out_of_memory = false;
  };

  // A walked piece as its place is decided.
  struct Walked {
    std::uint64_t number = 0;
    const Store* store = nullptr;  // none: not stored whole
    std::int64_t soundings = 0;
  };
  // Where the pieces' soundings go in the survey's store, decided in file
  // order. The thread whose walk ends when the pieces before are decided
  // decides its piece, and the pieces after it walked already, and copies
  // them into place; the joining thread, which also reads and cuts the text,
  // decides and copies only the pieces walked before the pieces ahead of
  // them were joined. No walk waits for another.
  struct Places {
    std::mutex mutex;
    std::uint64_t next_piece = 0;  // the piece whose place is decided next
    std::int64_t next_at = 0;      // the soundings before it
    bool ended = false;            // a piece before it is not stored whole: none after is
    std::map<std::uint64_t, Walked> waiting;  // walked, not decided
    std::set<std::uint64_t> placed;           // copied into place, not joined
  };

  void first_soundings(text::InputUnit& unit);
  void pieces(std::string_view first_bytes);
  PieceResult walk_piece(const Piece& piece);
  void place(const Piece& piece, const PieceResult& result);
  // Where the next piece's soundings go, nullopt where they are not stored;
  // with places_.mutex held.
  std::optional<std::int64_t> decide_next(const Walked& walked);
  void join(const Piece& piece, PieceResult& result);
  void room_ahead(std::int64_t held);
  void in_one_piece(std::vector<std::string> parts);
  // A store for a piece: one given back by a piece joined before, whose
  // memory is ready, or a new one.
  std::unique_ptr<Store> piece_store(std::int64_t capacity) const;
  void give_back(std::unique_ptr<Store>& store);
  // Ends the reading here once the caller asked for it.
  void cancel_point() const {
    if (options_.cancel != nullptr && options_.cancel->load()) throw Cancelled{};
  }

  text::DataSource& data_;
  const ReadOptions& options_;
  std::function<Store()> make_store_;
  getdims_mod::Scan scan_;
  std::optional<Store> store_;
  std::atomic<bool> storing_{false};
  bool out_of_memory_ = false;
  double bytes_per_sounding_ = 0;
  std::size_t piece_bytes_ = 0;
  Places places_;
  // Copies into store_ share it; making room in store_ takes it alone.
  std::shared_mutex room_mutex_;
  mutable std::mutex spare_mutex_;
  mutable std::vector<std::unique_ptr<Store>> spare_stores_;
};

template <typename Store, typename MakeStore>
StoredSurvey<Store> read_survey_into(text::DataSource& data, console::Console& console, const ReadOptions& options,
                                     MakeStore make_store) {
  reading_steps::check_opened(data);
  SurveyReading<Store> reading(data, options, std::function<Store()>(std::move(make_store)));
  return reading.run(console);
}

template <typename Store>
std::unique_ptr<Store> SurveyReading<Store>::piece_store(std::int64_t capacity) const {
  {
    const std::lock_guard lock(spare_mutex_);
    if (!spare_stores_.empty()) {
      std::unique_ptr<Store> store = std::move(spare_stores_.back());
      spare_stores_.pop_back();
      store->keep(0);
      if (store->room(capacity)) return store;
      return nullptr;
    }
  }
  auto store = std::make_unique<Store>(make_store_());
  if (!store->make(*scan_.first(), capacity)) return nullptr;
  return store;
}

template <typename Store>
void SurveyReading<Store>::give_back(std::unique_ptr<Store>& store) {
  if (!store) return;
  const std::lock_guard lock(spare_mutex_);
  spare_stores_.push_back(std::move(store));
}

// The header and the first soundings, read as they come.
template <typename Store>
void SurveyReading<Store>::first_soundings(text::InputUnit& unit) {
  using namespace reading_steps;
  const std::size_t start = unit.position();
  const bool in_pieces = options_.pieces_from_bytes == 0 || data_.size_hint() >= options_.pieces_from_bytes ||
                         data_.read_to_end_before_faults();
  EntryReader in(unit);
  configure(in, options_);
  const bool smallest = options_.pieces_from_bytes == 0;
  getprd_mod::Load<Store> first(scan_, &*store_, 0,
                    in_pieces ? (smallest ? 1 : kSampleSoundings) : std::numeric_limits<std::int64_t>::max());
  first.stop_when(options_.cancel);
  EntryWalk walk(in, first);
  const WalkEnd end = walk.run();
  cancel_point();
  Reading& reading = scan_.reading();
  reading.fault = walk.fault();
  reading.lines = unit.last_record_line();
  storing_ = first.storing();
  out_of_memory_ = first.out_of_memory();
  if (reading.soundings > 0) {
    bytes_per_sounding_ = static_cast<double>(unit.position() - start) / static_cast<double>(reading.soundings);
  }
  if (storing_ && data_.size_hint() > 0) {
    // Room for the whole file at once: the header's count, if the file can
    // hold that many.
    const std::int64_t room = std::min<std::int64_t>(room_for(data_.size_hint(), bytes_per_sounding_), 0x7fffffff);
    (void)store_->room(std::max<std::int64_t>(1, room));
  }
  if (end == WalkEnd::stopped) pieces(unit.unread());
}

template <typename Store>
typename SurveyReading<Store>::PieceResult SurveyReading<Store>::walk_piece(const Piece& piece) {
  using namespace reading_steps;
  PieceResult result;
  text::InputUnit unit;
  unit.attach(piece.bytes.get(), piece.size);
  EntryReader in(unit);
  configure(in, options_);
  getdims_mod::Scan scan(scan_.first());
  if (storing_) {
    result.store = piece_store(room_for(piece.size, bytes_per_sounding_));
    result.out_of_memory = !result.store;
  }
  getprd_mod::Load<Store> walked(scan, result.store.get());
  walked.stop_when(options_.cancel);
  EntryWalk walk(in, walked);
  result.end = walk.run();
  result.reading = std::move(scan.reading());
  result.reading.fault = walk.fault();
  result.reading.lines = unit.last_record_line();
  if (result.store && walked.storing()) {
    result.store->keep(result.reading.soundings);
  } else {
    result.out_of_memory = result.out_of_memory || walked.out_of_memory();
    result.store.reset();
  }
  place(piece, result);
  return result;
}

template <typename Store>
std::optional<std::int64_t> SurveyReading<Store>::decide_next(const Walked& walked) {
  ++places_.next_piece;
  places_.ended = places_.ended || walked.store == nullptr;
  const std::int64_t at = places_.next_at;
  places_.next_at += walked.soundings;
  if (places_.ended) return std::nullopt;
  return at;
}

template <typename Store>
void SurveyReading<Store>::place(const Piece& piece, const PieceResult& result) {
  const bool whole =
      result.store && !result.reading.fault && !reading_steps::ran_out(result.end, result.reading.fault);
  Walked walked{piece.number, whole ? result.store.get() : nullptr, result.reading.soundings};
  std::vector<std::pair<std::int64_t, Walked>> copies;
  {
    const std::lock_guard lock(places_.mutex);
    if (places_.next_piece != piece.number) {
      places_.waiting.emplace(piece.number, walked);
      return;
    }
    for (;;) {
      if (const std::optional<std::int64_t> at = decide_next(walked)) copies.emplace_back(*at, walked);
      const auto later = places_.waiting.find(places_.next_piece);
      if (later == places_.waiting.end()) break;
      walked = later->second;
      places_.waiting.erase(later);
    }
  }
  std::vector<std::uint64_t> copied;
  {
    const std::shared_lock room(room_mutex_);
    for (const auto& [at, copy] : copies) {
      if (store_->capacity() < at + copy.soundings) break;
      store_->copy_in(at, *copy.store);
      copied.push_back(copy.number);
    }
  }
  const std::lock_guard lock(places_.mutex);
  places_.placed.insert(copied.begin(), copied.end());
}

// A piece's results after those before it.
template <typename Store>
void SurveyReading<Store>::join(const Piece& piece, PieceResult& result) {
  bool placed = false;
  {
    const std::lock_guard lock(places_.mutex);
    placed = places_.placed.erase(piece.number) != 0;
    const auto walked = places_.waiting.find(piece.number);
    if (walked != places_.waiting.end()) {
      (void)decide_next(walked->second);
      places_.waiting.erase(walked);
    }
  }
  Reading& all = scan_.reading();
  all.add(result.reading);
  if (!storing_) return;
  if (!result.store || all.deferred || !all.layout.suitable()) {
    storing_ = false;
    out_of_memory_ = result.out_of_memory;
    return;
  }
  const std::int64_t total = all.soundings;
  if (!placed) {
    const std::unique_lock room(room_mutex_);
    if (!store_->room(total)) {
      storing_ = false;
      out_of_memory_ = true;
      return;
    }
    store_->copy_in(total - result.reading.soundings, *result.store);
  }
  store_->keep(total);
  give_back(result.store);
  room_ahead(total);
}

// Room for the pieces being walked, where the size of the text did not give
// it at the start (a pipe): their threads copy them into place only where
// there is room. A refusal here is no fault: the room a piece needs is asked
// for again when it is joined.
template <typename Store>
void SurveyReading<Store>::room_ahead(std::int64_t held) {
  using namespace reading_steps;
  const std::int64_t ahead = held + room_for(kPiecesAhead * piece_bytes_, bytes_per_sounding_);
  if (store_->capacity() >= ahead) return;
  const std::unique_lock room(room_mutex_);
  (void)store_->room(ahead);
}

template <typename Store>
void SurveyReading<Store>::pieces(std::string_view first_bytes) {
  using namespace reading_steps;
  if (storing_) store_->keep(scan_.reading().soundings);
  places_.next_at = scan_.reading().soundings;
  places_.ended = !storing_;
  piece_bytes_ = options_.pieces_from_bytes == 0 ? kSmallestPieceBytes : options_.piece_bytes;
  PieceCutter cutter(data_, first_bytes, piece_bytes_);
  PieceWorkers<PieceResult> workers([this](const Piece& piece) { return walk_piece(piece); });
  bool more = true;
  for (;;) {
    while (more && workers.waiting() < kPiecesAhead) {
      cancel_point();
      std::optional<Piece> piece = cutter.next();
      more = piece && !piece->last;
      if (piece) workers.add(std::move(*piece));
    }
    if (workers.waiting() == 0) break;
    auto [piece, result] = workers.take();
    // A piece walked while the reading was cancelled may end anywhere.
    cancel_point();
    if (ran_out(result.end, result.reading.fault) && !piece.last) {
      // The cut before the next piece is not where a sounding starts: the
      // rest is read in one piece from this one's start.
      std::vector<std::string> parts = {std::string(piece.bytes.get(), piece.size)};
      for (const Piece& later : workers.drop()) parts.emplace_back(later.bytes.get(), later.size);
      parts.emplace_back(cutter.held());
      in_one_piece(std::move(parts));
      return;
    }
    join(piece, result);
    cutter.recycle(std::move(piece));
    if (scan_.reading().fault || data_.failed()) return;
  }
  if (cutter.stuck()) in_one_piece({std::string(cutter.held())});
}

// The rest of the text from a sounding start on, read as it comes.
template <typename Store>
void SurveyReading<Store>::in_one_piece(std::vector<std::string> parts) {
  ChainedText text(std::move(parts), data_);
  text::InputUnit unit;
  unit.attach(text);
  EntryReader in(unit);
  reading_steps::configure(in, options_);
  getdims_mod::Scan scan(scan_.first());
  const std::int64_t before = scan_.reading().soundings;
  getprd_mod::Load<Store> rest_load(scan, storing_ ? &*store_ : nullptr, before);
  rest_load.stop_when(options_.cancel);
  EntryWalk walk(in, rest_load);
  walk.run();
  cancel_point();
  Reading rest = std::move(scan.reading());
  rest.fault = walk.fault();
  rest.lines = unit.last_record_line();
  scan_.reading().add(rest);
  if (storing_ && !rest_load.storing()) {
    storing_ = false;
    out_of_memory_ = rest_load.out_of_memory();
  }
}

template <typename Store>
StoredSurvey<Store> SurveyReading<Store>::run(console::Console& console) {
  using namespace reading_steps;
  text::InputUnit unit(kFirstBuffer);
  unit.attach(data_);
  StoredSurvey<Store> survey;
  survey.announced = read_header(unit, data_);
  first_soundings(unit);

  Reading& all = scan_.reading();
  stop_at_faults(all, data_);

  survey.dims = all.largest;
  survey.dims.nsound = static_cast<std::int32_t>(all.soundings);
  console.write_record(count_notice(data_.name(), all.soundings, survey.announced));

  // The soundings: stored as they came where the data fit a column layout.
  const bool stored = storing_ && all.layout.suitable() && !all.deferred && all.soundings > 0;
  if (stored) {
    store_->keep(all.soundings);
    survey.stored = std::move(store_);
  } else {
    store_.reset();
    check_arrays_would_fit(all, survey.dims, out_of_memory_);
  }
  if (all.deferred) stop_at(*all.deferred, data_);

  if (scan_.first() != nullptr) survey.first = *scan_.first();
  survey.layout = all.layout;
  survey.empty = all.empty;
  survey.ignored = all.ignored;
  survey.labels = all.labels;
  return survey;
}

}  // namespace korvan::reader
