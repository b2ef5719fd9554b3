// The data load.
#include "reader/getprd.h"

#include <atomic>
#include <cstdint>
#include <future>
#include <string>

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

class Load {
 public:
  Load(std::string_view name, const Dimensions& dims, SoundingArrays& a)
      : name_(name), dims_(dims), a_(a), reader_(unit_) {}

  void run(const std::optional<SplitPoint>& split);

  // The second thread's share: soundings from split.isound on, read from
  // split.offset, until done or cancelled.
  void run_from(const SplitPoint& split, const std::atomic<bool>& cancel);

 private:
  void sounding(std::int32_t isound);
  void frequency(std::int32_t ifreq, std::int32_t isound);
  void transmitter(std::int32_t it, std::int32_t ifreq, std::int32_t isound);
  void receiver(std::int32_t ir, std::int32_t it, std::int32_t ifreq, std::int32_t isound);
  bool quick_receiver(std::int64_t k);

  // Reads the next record the quick way with `take`; when that fails, the
  // unit stays at (or goes back to) the record, for the general reading.
  template <typename Take>
  bool quick(Take take) {
    std::string_view record;
    if (unit_.next_record(record) != IoStatus::ok) return false;
    if (take(textio::PlainRecord(record))) return true;
    unit_.step_back();
    return false;
  }

  // A count beyond the extents the scan found: the file is not the one that
  // was scanned, and nothing may be written outside the arrays.
  [[noreturn]] void changed() const {
    emsgstop("data file " + quoted(name_) + " changed between the two readings");
  }

  std::string_view name_;
  const Dimensions& dims_;
  SoundingArrays& a_;
  textio::InputUnit unit_;
  textio::FreeFormatReader reader_;
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
    if (reader_.read(items) != IoStatus::ok) emsgstop("error reading coordinates of sounding " + sounding_text(isound));
  }
  const std::int32_t nfreq = a_.nfreqs(isound);
  if (nfreq < 1) emsgstop("no. of frequencies < 1 for sounding " + sounding_text(isound));
  if (nfreq > dims_.maxfreq) changed();
  for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) frequency(ifreq, isound);
}

void Load::frequency(std::int32_t ifreq, std::int32_t isound) {
  const auto loc = [&] { return load_frequency_location(index_text(ifreq), sounding_text(isound), name_); };
  float& freq = a_.freq(ifreq, isound);
  std::int32_t& nt = a_.nt(ifreq, isound);
  float f = 0;
  std::int32_t n = 0;
  if (quick([&](textio::PlainRecord r) { return r.real(f) && r.integer(n); })) {
    freq = f;
    nt = n;
  } else {
    const Item items[] = {Item::of(freq), Item::of(nt)};
    if (reader_.read(items) != IoStatus::ok) emsgstop("error reading " + loc());
  }
  if (freq <= 0) emsgstop("frequency <= 0 for " + loc());
  if (nt < 1) emsgstop("no. of transmitters < 1 for " + loc());
  if (nt > dims_.maxtx) changed();
  for (std::int32_t it = 1; it <= nt; ++it) transmitter(it, ifreq, isound);
}

void Load::transmitter(std::int32_t it, std::int32_t ifreq, std::int32_t isound) {
  const auto loc = [&] {
    return load_transmitter_location(index_text(it), index_text(ifreq), sounding_text(isound), name_);
  };
  char& ot = a_.ot(it, ifreq, isound);
  std::int32_t& nr = a_.nr(it, ifreq, isound);
  float moment = 0;
  float height = 0;
  char letter = ' ';
  std::int32_t n = 0;
  if (quick([&](textio::PlainRecord r) {
        return r.real(moment) && r.real(height) && r.letter(letter) && r.integer(n);
      })) {
    a_.momt(it, ifreq, isound) = moment;
    a_.zt(it, ifreq, isound) = height;
    ot = letter;
    nr = n;
  } else {
    const Item items[] = {Item::of(a_.momt(it, ifreq, isound)), Item::of(a_.zt(it, ifreq, isound)),
                          Item::of(std::span<char>(&ot, 1)), Item::of(nr)};
    if (reader_.read(items) != IoStatus::ok) emsgstop("error reading Tx height, etc., for " + loc());
  }
  if (!fold_orientation(ot)) emsgstop("invalid Tx orientation for " + loc());
  if (nr < 1) emsgstop("no. of receivers < 1 for " + loc());
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
  if (quick_receiver(k)) return;
  char& orient = a_.or_.at(k);
  char& octype = a_.octype.at(k);
  const Item info[] = {Item::of(a_.momr.at(k)),          Item::of(a_.trx.at(k)),
                       Item::of(a_.try_.at(k)),          Item::of(a_.zr.at(k)),
                       Item::of(std::span<char>(&orient, 1)), Item::of(a_.ontype.at(k)),
                       Item::of(std::span<char>(&octype, 1))};
  textio::LineMark mark;
  if (reader_.read_line(info, &mark) != IoStatus::ok) emsgstop("error reading reveicer info. for " + loc());
  if (!fold_orientation(orient)) emsgstop("invalid Rx orient. for " + loc());
  if (!fold_component(octype)) emsgstop("invalid data combo. for " + loc());
  if (unit_.step_back() != IoStatus::ok) emsgstop("error backspacing file " + std::string(name_) + " for " + loc());

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
  if (status != IoStatus::ok) emsgstop("error reading data for " + loc());
}

// A well-formed receiver line with every letter valid, read the quick way;
// false leaves the line to the general reading, which finds its fault.
bool Load::quick_receiver(std::int64_t k) {
  float info[4];
  char orient = ' ';
  std::int32_t ontype = 0;
  char octype = ' ';
  float first = 0;
  float second = 0;
  const bool read = quick([&](textio::PlainRecord r) {
    if (!(r.real(info[0]) && r.real(info[1]) && r.real(info[2]) && r.real(info[3]) && r.letter(orient) &&
          r.integer(ontype) && r.letter(octype) && fold_orientation(orient) && fold_component(octype))) {
      return false;
    }
    return octype == 'b' ? r.real(first) && r.real(second) : r.real(first);
  });
  if (!read) return false;
  a_.momr.at(k) = info[0];
  a_.trx.at(k) = info[1];
  a_.try_.at(k) = info[2];
  a_.zr.at(k) = info[3];
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

}  // namespace korvan::reader::getprd_mod
