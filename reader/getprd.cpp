// The data load.
#include "reader/getprd.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <future>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "reader/messages.h"
#include "textio/free_format_reader.h"
#include "textio/input_unit.h"
#include "textio/plain_number.h"

namespace korvan::reader::getprd_mod {
namespace {

using textio::IoStatus;
using textio::Item;

std::string quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

// Folds X, Y, Z to lower case; true when the letter is then an orientation.
bool fold_orientation(char& letter) {
  if (letter == 'X' || letter == 'Y' || letter == 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  return letter == 'x' || letter == 'y' || letter == 'z';
}

// Folds B, I, Q to lower case; true when the letter is then a component.
bool fold_component(char& letter) {
  if (letter == 'B' || letter == 'I' || letter == 'Q') letter = static_cast<char>(letter - 'A' + 'a');
  return letter == 'b' || letter == 'i' || letter == 'q';
}

// Thrown by a load in one pass where the file is not as simple as that way
// needs, or holds a fault: the caller then reads it the usual way, which
// finds the fault and says what it is.
struct Abandon {};

// The start of the last line read the quick way at some place in a
// sounding, up to the end of its first N values, and those values: many
// lines start as the one at their place before them (the frequencies, the
// transmitter height within a sounding, the coil geometry), and the same
// characters give the same values.
template <std::size_t N>
class RepeatedStart {
 public:
  // The first N reals of `record`, read with `r`, taken again where the
  // record starts with the kept characters and a blank.
  bool reals(std::string_view record, textio::PlainRecord& r, std::array<float, N>& values) {
    if (length_ > 0 && record.size() > length_ && (record[length_] == ' ' || record[length_] == '\t') &&
        textio::same_chars(record.data(), text_.data(), length_)) {
      values = values_;
      r = textio::PlainRecord(record, length_);
      return true;
    }
    for (float& value : values) {
      if (!r.real(value)) return false;
    }
    length_ = 0;
    const auto used = static_cast<std::size_t>(r.position() - record.data());
    if (used <= text_.size()) {
      std::memcpy(text_.data(), record.data(), used);
      values_ = values;
      length_ = used;
    }
    return true;
  }

 private:
  std::array<char, 32> text_{};
  std::size_t length_ = 0;
  std::array<float, N> values_{};
};

// The text of the last real read at some field and its value: the receiver
// height, say, is mostly the same in every receiver line of a sounding.
class RepeatedValue {
 public:
  bool real(textio::PlainRecord& r, float& value) {
    if (length_ > 0 && r.same_value(std::string_view(text_.data(), length_))) {
      value = value_;
      return true;
    }
    std::string_view text;
    if (!r.real(value, text)) return false;
    length_ = 0;
    if (text.size() <= text_.size()) {
      std::memcpy(text_.data(), text.data(), text.size());
      length_ = text.size();
      value_ = value;
    }
    return true;
  }

 private:
  std::array<char, 32> text_{};  // all readable, for same_value
  std::size_t length_ = 0;
  float value_ = 0;
};

class Load {
 public:
  // A load in one pass (`one_pass`) reads plain lines only and abandons at
  // anything else instead of stopping the run.
  Load(std::string_view name, const Dimensions& dims, SoundingArrays& a, bool one_pass = false)
      : name_(name), dims_(dims), a_(a), reader_(unit_), one_pass_(one_pass) {}

  void run(const std::optional<SplitPoint>& split);

  // The second thread's share: soundings from split.isound on, read from
  // split.offset, until done or cancelled.
  void run_from(const SplitPoint& split, const std::atomic<bool>& cancel);

  // A load in one pass: from `offset` (0: the file's start, header first),
  // sounding entries into soundings first, first + 1, ... until the end of
  // the file or until a sounding read would start at `stop`. Returns how
  // many were read; abandons past sounding `last`, or when told to. A load
  // may read several parts of a file this way, one after the other.
  std::int32_t run_one_pass(std::uint64_t offset, std::int32_t first, std::int32_t last, std::uint64_t stop,
                            const std::atomic<bool>& abandoned);
  bool reached_stop() const { return reached_stop_; }

 private:
  void sounding(std::int32_t isound);
  void frequency(std::int32_t ifreq, std::int32_t isound);
  void transmitter(std::int32_t it, std::int32_t ifreq, std::int32_t isound);
  void receiver(std::int32_t ir, std::int32_t it, std::int32_t ifreq, std::int32_t isound);
  bool quick_receiver(std::int64_t k, std::int64_t place);

  // Reads the next record the quick way with `take`; when that fails, the
  // unit stays at (or goes back to) the record, for the general reading.
  template <typename Take>
  bool quick(Take take) {
    std::string_view record;
    if (unit_.next_record(record) == IoStatus::ok) {
      bool taken = false;
      if constexpr (std::is_invocable_v<Take, textio::PlainRecord, std::string_view>) {
        taken = take(textio::PlainRecord(record), record);
      } else {
        taken = take(textio::PlainRecord(record));
      }
      if (taken) return true;
      unit_.step_back();
    }
    if (one_pass_) throw Abandon{};
    return false;
  }

  // True at the end of the file or of its content: only blank lines left.
  bool only_blank_lines_left();

  [[noreturn]] void stop(const std::string& message) const {
    if (one_pass_) throw Abandon{};
    emsgstop(message);
  }

  // A count beyond the extents the scan found: the file is not the one that
  // was scanned, and nothing may be written outside the arrays. (In one
  // pass, the extents are a guess that did not hold.)
  [[noreturn]] void changed() const { stop("data file " + quoted(name_) + " changed between the two readings"); }

  std::string_view name_;
  const Dimensions& dims_;
  SoundingArrays& a_;
  textio::InputUnit unit_;
  textio::FreeFormatReader reader_;
  bool one_pass_;
  bool reached_stop_ = false;

  // Kept by the place of the line: the frequency by its index, the
  // transmitter's moment and height by the transmitter's, and the receiver's
  // moment and position by the receiver's place in a sounding.
  static constexpr std::int64_t kRepeatedPlaces = 64;
  std::array<RepeatedStart<1>, kRepeatedPlaces> frequency_starts_{};
  std::array<RepeatedStart<2>, kRepeatedPlaces> transmitter_starts_{};
  std::array<RepeatedStart<3>, kRepeatedPlaces> receiver_starts_{};
  RepeatedValue receiver_height_;
};

// The second thread of a split load. However the first thread's share ends,
// the second thread is stopped and waited for before anything goes on.
class SecondLoad {
 public:
  SecondLoad(std::string_view name, const Dimensions& dims, SoundingArrays& a, const SplitPoint& split)
      : load_(name, dims, a), result_(std::async(std::launch::async, [this, split] { load_.run_from(split, cancel_); })) {}
  ~SecondLoad() { abandon(); }
  SecondLoad(const SecondLoad&) = delete;
  SecondLoad& operator=(const SecondLoad&) = delete;

  // Waits for it and passes on its failure.
  void finish() {
    if (result_.valid()) result_.get();
  }
  void abandon() {
    cancel_ = true;
    if (result_.valid()) result_.wait();
  }

 private:
  Load load_;
  std::atomic<bool> cancel_{false};
  std::future<void> result_;
};

void Load::run(const std::optional<SplitPoint>& split) {
  if (!textio::file_exists(name_)) emsgstop("file " + quoted(name_) + " does not exist");
  if (unit_.open(name_) != IoStatus::ok) emsgstop("error opening " + quoted(name_) + " for the second time");
  std::int32_t announced = 0;  // read and not used: the scan's count rules
  const Item header[] = {Item::of(announced)};
  if (reader_.read(header) != IoStatus::ok) emsgstop("error during the second reading of the number of soundings");

  std::int32_t isound = 1;
  if (split && split->isound > 1 && split->isound <= dims_.nsound) {
    SecondLoad second(name_, dims_, a_, *split);
    for (; isound < split->isound; ++isound) sounding(isound);
    if (unit_.position() == split->offset) {
      second.finish();  // its first failure, if any, is the next in file order
      isound = dims_.nsound + 1;
    } else {
      // The file is not as the scan saw it: load the rest here, in order.
      second.abandon();
    }
  }
  for (; isound <= dims_.nsound; ++isound) sounding(isound);
  if (unit_.close() != IoStatus::ok) emsgstop("error closing file " + quoted(name_));
}

void Load::run_from(const SplitPoint& split, const std::atomic<bool>& cancel) {
  if (unit_.open(name_, split.offset) != IoStatus::ok) emsgstop("error opening " + quoted(name_) + " for the second time");
  for (std::int32_t isound = split.isound; isound <= dims_.nsound; ++isound) {
    if (cancel.load(std::memory_order_relaxed)) return;
    sounding(isound);
  }
  if (unit_.close() != IoStatus::ok) emsgstop("error closing file " + quoted(name_));
}

bool Load::only_blank_lines_left() {
  std::string_view record;
  for (;;) {
    const IoStatus status = unit_.next_record(record);
    if (status == IoStatus::end_of_file) return true;
    if (status != IoStatus::ok) throw Abandon{};
    if (record.find_first_not_of(" \t") != std::string_view::npos) {
      unit_.step_back();
      return false;
    }
  }
}

std::int32_t Load::run_one_pass(std::uint64_t offset, std::int32_t first, std::int32_t last, std::uint64_t stop,
                                const std::atomic<bool>& abandoned) {
  reached_stop_ = false;
  if (unit_.open(name_, offset) != IoStatus::ok) throw Abandon{};
  if (offset == 0) {
    std::int32_t announced = 0;
    quick([&](textio::PlainRecord r) { return r.integer(announced); });
  }
  std::int32_t isound = first;
  for (;; ++isound) {
    if (abandoned.load(std::memory_order_relaxed)) throw Abandon{};
    const std::uint64_t position = unit_.position();
    if (position >= stop) {
      if (position > stop) throw Abandon{};  // the other reader's start was no sounding start
      reached_stop_ = true;
      break;
    }
    if (only_blank_lines_left()) break;
    if (isound > last) throw Abandon{};
    sounding(isound);
  }
  (void)unit_.close();
  return isound - first;
}

void Load::sounding(std::int32_t isound) {
  float x = 0;
  float y = 0;
  std::int32_t n = 0;
  if (quick([&](textio::PlainRecord r) { return r.real(x) && r.real(y) && r.integer(n); })) {
    a_.soundx(isound) = x;
    a_.soundy(isound) = y;
    a_.nfreqs(isound) = n;
  } else {
    const Item items[] = {Item::of(a_.soundx(isound)), Item::of(a_.soundy(isound)), Item::of(a_.nfreqs(isound))};
    if (reader_.read(items) != IoStatus::ok) stop("error reading coordinates of sounding " + sounding_text(isound));
  }
  const std::int32_t nfreq = a_.nfreqs(isound);
  if (nfreq < 1) stop("no. of frequencies < 1 for sounding " + sounding_text(isound));
  if (nfreq > dims_.maxfreq) changed();
  for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) frequency(ifreq, isound);
}

void Load::frequency(std::int32_t ifreq, std::int32_t isound) {
  const auto loc = [&] { return load_frequency_location(index_text(ifreq), sounding_text(isound), name_); };
  float& freq = a_.freq(ifreq, isound);
  std::int32_t& nt = a_.nt(ifreq, isound);
  RepeatedStart<1>& repeated = frequency_starts_[static_cast<std::size_t>((ifreq - 1) % kRepeatedPlaces)];
  std::array<float, 1> f{};
  std::int32_t n = 0;
  if (quick([&](textio::PlainRecord r, std::string_view record) {
        return repeated.reals(record, r, f) && r.integer(n);
      })) {
    freq = f[0];
    nt = n;
  } else {
    const Item items[] = {Item::of(freq), Item::of(nt)};
    if (reader_.read(items) != IoStatus::ok) stop("error reading " + loc());
  }
  if (freq <= 0) stop("frequency <= 0 for " + loc());
  if (nt < 1) stop("no. of transmitters < 1 for " + loc());
  if (nt > dims_.maxtx) changed();
  for (std::int32_t it = 1; it <= nt; ++it) transmitter(it, ifreq, isound);
}

void Load::transmitter(std::int32_t it, std::int32_t ifreq, std::int32_t isound) {
  const auto loc = [&] {
    return load_transmitter_location(index_text(it), index_text(ifreq), sounding_text(isound), name_);
  };
  char& ot = a_.ot(it, ifreq, isound);
  std::int32_t& nr = a_.nr(it, ifreq, isound);
  RepeatedStart<2>& repeated = transmitter_starts_[static_cast<std::size_t>((it - 1) % kRepeatedPlaces)];
  std::array<float, 2> moment_height{};
  char letter = ' ';
  std::int32_t n = 0;
  if (quick([&](textio::PlainRecord r, std::string_view record) {
        return repeated.reals(record, r, moment_height) && r.letter(letter) && r.integer(n);
      })) {
    a_.momt(it, ifreq, isound) = moment_height[0];
    a_.zt(it, ifreq, isound) = moment_height[1];
    ot = letter;
    nr = n;
  } else {
    const Item items[] = {Item::of(a_.momt(it, ifreq, isound)), Item::of(a_.zt(it, ifreq, isound)),
                          Item::of(std::span<char>(&ot, 1)), Item::of(nr)};
    if (reader_.read(items) != IoStatus::ok) stop("error reading Tx height, etc., for " + loc());
  }
  if (!fold_orientation(ot)) stop("invalid Tx orientation for " + loc());
  if (nr < 1) stop("no. of receivers < 1 for " + loc());
  if (nr > dims_.maxrx) changed();
  for (std::int32_t ir = 1; ir <= nr; ++ir) receiver(ir, it, ifreq, isound);
}

// A receiver entry stands on one line: both reads of it are confined to that
// line, so a short line can never pull values from the next one.
void Load::receiver(std::int32_t ir, std::int32_t it, std::int32_t ifreq, std::int32_t isound) {
  const auto loc = [&] {
    return load_receiver_location(index_text(ir), index_text(it), index_text(ifreq), sounding_text(isound), name_);
  };
  // Every receiver array has the same extents: one index serves them all.
  const std::int64_t k = a_.prd.linear_index(ir, it, ifreq, isound);
  // The receiver's place within its sounding.
  const std::int64_t place = (std::int64_t{ifreq - 1} * dims_.maxtx + (it - 1)) * dims_.maxrx + (ir - 1);
  if (quick_receiver(k, place)) return;
  char& orient = a_.or_.at(k);
  char& octype = a_.octype.at(k);
  const Item info[] = {Item::of(a_.momr.at(k)),          Item::of(a_.trx.at(k)),
                       Item::of(a_.try_.at(k)),          Item::of(a_.zr.at(k)),
                       Item::of(std::span<char>(&orient, 1)), Item::of(a_.ontype.at(k)),
                       Item::of(std::span<char>(&octype, 1))};
  textio::LineMark mark;
  if (reader_.read_line(info, &mark) != IoStatus::ok) stop("error reading reveicer info. for " + loc());
  if (!fold_orientation(orient)) stop("invalid Rx orient. for " + loc());
  if (!fold_component(octype)) stop("invalid data combo. for " + loc());
  if (unit_.step_back() != IoStatus::ok) stop("error backspacing file " + std::string(name_) + " for " + loc());

  // The second read of the line: its first seven values were converted by the
  // first read already, so it goes on from where that one stopped. The data
  // go straight into the zeroed array, so a null datum leaves a zero.
  Datum& datum = a_.prd.at(k);
  IoStatus status = IoStatus::ok;
  if (octype == 'b') {
    const Item data[] = {Item::of(datum.inphase), Item::of(datum.quadrature)};
    status = reader_.read_line_after(mark, data);
  } else if (octype == 'i') {
    const Item data[] = {Item::of(datum.inphase)};
    status = reader_.read_line_after(mark, data);
    datum.quadrature = 0;
  } else {
    const Item data[] = {Item::of(datum.quadrature)};
    status = reader_.read_line_after(mark, data);
    datum.inphase = 0;
  }
  if (status != IoStatus::ok) stop("error reading data for " + loc());
}

// A well-formed receiver line with every letter valid, read the quick way;
// false leaves the line to the general reading, which finds its fault.
bool Load::quick_receiver(std::int64_t k, std::int64_t place) {
  std::array<float, 3> moment_position{};
  float height = 0;
  char orient = ' ';
  std::int32_t ontype = 0;
  char octype = ' ';
  float first = 0;
  float second = 0;
  RepeatedStart<3>& repeated = receiver_starts_[static_cast<std::size_t>(place % kRepeatedPlaces)];
  const bool read = quick([&](textio::PlainRecord r, std::string_view record) {
    if (!(repeated.reals(record, r, moment_position) && receiver_height_.real(r, height) && r.letter(orient) &&
          r.integer(ontype) &&
          r.letter(octype) && fold_orientation(orient) && fold_component(octype))) {
      return false;
    }
    return octype == 'b' ? r.real(first) && r.real(second) : r.real(first);
  });
  if (!read) return false;
  a_.momr.at(k) = moment_position[0];
  a_.trx.at(k) = moment_position[1];
  a_.try_.at(k) = moment_position[2];
  a_.zr.at(k) = height;
  a_.or_.at(k) = orient;
  a_.ontype.at(k) = ontype;
  a_.octype.at(k) = octype;
  a_.prd.at(k) = octype == 'b' ? Datum{first, second} : octype == 'i' ? Datum{first, 0} : Datum{0, first};
  return true;
}

}  // namespace

void getprd(std::string_view name, const Dimensions& dims, SoundingArrays& arrays,
            const std::optional<SplitPoint>& split) {
  Load load(name, dims, arrays);
  load.run(split);
}

namespace {

// The first soundings give the extents to guess; a sample this long is cheap.
constexpr std::int64_t kSampleSoundings = 16;

// A large file is read in pieces by two threads. Each starts with one of two
// large pieces; the small ones after them go to whichever is free first, so
// a thread that runs slower (the other core may be busy) reads less. The
// pieces end at these fractions of the file (in 1/100); the last runs to
// the end.
constexpr std::array<std::uint64_t, 11> kPieceEnds = {35, 70, 73, 76, 79, 82, 85, 88, 91, 94, 97};

// A piece of the file and where its soundings go until the counts before it
// are known: each piece has room for its estimated count (from the sample's
// bytes per sounding) and more, and they are moved down afterwards. The
// first piece, from the file's start, goes to sounding 1.
struct Piece {
  std::uint64_t offset = 0;
  std::int64_t first = 1;
  std::int32_t count = 0;  // soundings read
};

// Soundings estimated from the sample's bytes per sounding.
std::int64_t soundings_before(const getdims_mod::ScanSample& sample, std::uint64_t offset) {
  const std::uint64_t per_sounding = std::max<std::uint64_t>(
      1, (sample.end_offset - sample.first_offset) / static_cast<std::uint64_t>(sample.soundings));
  return static_cast<std::int64_t>((offset - sample.first_offset) / per_sounding);
}

// Room for a piece of an estimated count, with an eighth more to spare: the
// sizes of soundings vary (the first ones may be longer than the rest). The
// moves give back what is left over.
std::int64_t room(std::int64_t estimate) { return estimate + estimate / 8 + 1024; }

// The pieces of a file: their starts are sounding starts found after the
// sample, in increasing order.
std::vector<Piece> plan_pieces(std::string_view name, const getdims_mod::ScanSample& sample, bool split,
                               const std::atomic<bool>& cancel) {
  std::vector<Piece> pieces = {Piece{}};
  if (!split) return pieces;
  std::int64_t before = 0;  // estimated soundings before the last piece
  for (const std::uint64_t end : kPieceEnds) {
    const std::optional<std::uint64_t> start =
        getdims_mod::find_sounding_start(std::string(name), sample.file_bytes / 100 * end, cancel);
    if (start && *start > sample.end_offset && *start > pieces.back().offset) {
      const std::int64_t estimate = soundings_before(sample, *start);
      pieces.push_back({*start, pieces.back().first + room(estimate - before), 0});
      before = estimate;
    }
  }
  return pieces;
}

}  // namespace

std::optional<OnePass> read_in_one_pass(std::string_view name, textio::Console& console,
                                        std::uint64_t split_minimum_bytes, std::uint64_t max_array_bytes) {
  const std::optional<getdims_mod::ScanSample> sample = getdims_mod::sample_first_soundings(name, kSampleSoundings);
  if (!sample || sample->soundings == 0 || sample->announced < 1) return std::nullopt;

  std::atomic<bool> abandoned{false};
  const bool split = sample->file_bytes >= split_minimum_bytes && sample->soundings == kSampleSoundings;
  std::vector<Piece> pieces = plan_pieces(name, *sample, split, abandoned);
  // The header's count, but no more than the file can hold: a header that
  // overstates it must not size arrays for soundings that are not there.
  std::int64_t capacity =
      std::min<std::int64_t>(sample->announced, room(soundings_before(*sample, sample->file_bytes)));
  if (pieces.size() > 1) {
    const std::int64_t after =
        soundings_before(*sample, sample->file_bytes) - soundings_before(*sample, pieces.back().offset);
    capacity = std::max(capacity, pieces.back().first - 1 + room(after));
  }
  if (capacity > std::numeric_limits<std::int32_t>::max()) return std::nullopt;

  Dimensions guess = sample->largest;
  guess.nsound = static_cast<std::int32_t>(capacity);
  const std::optional<std::uint64_t> bytes = sounding_array_bytes(guess);
  if (!bytes || *bytes > max_array_bytes) return std::nullopt;
  std::optional<SoundingArrays> arrays = allocate_sounding_arrays(guess);
  if (!arrays) return std::nullopt;

  // Reads piece i with `load` (each thread keeps one, and its buffer, for
  // all its pieces); false once any piece has given up.
  constexpr std::uint64_t kNoStop = std::numeric_limits<std::uint64_t>::max();
  const auto read_piece = [&](Load& load, std::size_t i) {
    Piece& piece = pieces[i];
    const bool last = i + 1 == pieces.size();
    const std::uint64_t stop = last ? kNoStop : pieces[i + 1].offset;
    const std::int64_t room_end = last ? guess.nsound : pieces[i + 1].first - 1;
    try {
      piece.count = load.run_one_pass(piece.offset, static_cast<std::int32_t>(piece.first),
                                      static_cast<std::int32_t>(room_end), stop, abandoned);
      if (!last && !load.reached_stop()) throw Abandon{};
      return true;
    } catch (const Abandon&) {
      abandoned = true;
      return false;
    }
  };
  std::atomic<std::size_t> next_piece{2};
  const auto read_pieces = [&](std::size_t first) {
    Load load(name, guess, *arrays, true);
    for (std::size_t i = first; i < pieces.size() && read_piece(load, i); i = next_piece++) {
    }
  };
  if (pieces.size() == 1) {
    read_pieces(0);
  } else {
    std::future<void> other = std::async(std::launch::async, read_pieces, 1);
    read_pieces(0);
    other.get();
  }
  if (abandoned) return std::nullopt;

  std::vector<SoundingArrays::Move> moves;
  std::int64_t found = 0;
  for (const Piece& piece : pieces) {
    moves.push_back({piece.first, piece.count, found + 1});
    found += piece.count;
  }
  if (pieces.size() == 1) {
    arrays->move_soundings(moves, found);
  } else {
    // The arrays are shared between both threads.
    std::future<void> other = std::async(std::launch::async, [&] { arrays->move_soundings(moves, found, 1, 2); });
    arrays->move_soundings(moves, found, 0, 2);
    other.get();
  }
  arrays->keep_soundings(static_cast<std::int32_t>(found));
  guess.nsound = static_cast<std::int32_t>(found);
  getdims_mod::report_count(console, name, guess.nsound, sample->announced);
  return OnePass{guess, std::move(*arrays)};
}

}  // namespace korvan::reader::getprd_mod
