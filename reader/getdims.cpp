// The dimension scan.
//
// On a large file a second thread guesses where a sounding entry starts near
// the middle and scans from there to the end, while this thread scans from
// the start. The guess counts only if this thread, scanning on, starts a
// sounding read at exactly that place: then the two halves together are the
// whole scan, with every failure reported as the one sequential scan would
// (the first half's first, numbers counted from the file's start).
// Otherwise this thread simply scans on to the end by itself.
#include "reader/getdims.h"

#include <atomic>
#include <future>
#include <limits>
#include <string>

#include "reader/messages.h"
#include "textio/free_format_reader.h"
#include "textio/input_unit.h"
#include "textio/plain_number.h"

namespace korvan::reader::getdims_mod {
namespace {

using textio::IoStatus;
using textio::Item;

// A guessed start must carry this many sounding entries without a fault.
constexpr std::int64_t kTrialSoundings = 4;
constexpr std::uint64_t kTrialBytes = std::uint64_t{4} << 20;
constexpr int kTrialLines = 64;
constexpr std::size_t kTrialBuffer = std::size_t{64} << 10;

std::string quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

enum class ScanFailure {
  none,
  sounding_read,          // also end of file inside the entry's frequencies
  frequency_count_low,
  transmitter_read,
  transmitter_count_low,
  receiver_read,
  receiver_count_low,
  receiver_skip,
};

struct ScanError {
  ScanFailure failure = ScanFailure::none;
  std::int64_t sounding = 0;  // counted from the part's first sounding, from 1
  std::int32_t ifreq = 0;
  std::int32_t it = 0;
  std::int32_t ir = 0;
};

struct ScanPart {
  std::int64_t count = 0;
  std::int32_t maxfreq = 0;
  std::int32_t maxtx = 0;
  std::int32_t maxrx = 0;
  ScanError error;
  bool reached_stop = false;
};

std::string scan_message(const ScanError& e, std::int64_t soundings_before) {
  const std::string s = sounding_text(soundings_before + e.sounding);
  const std::string f = index_text(e.ifreq);
  const std::string t = index_text(e.it);
  switch (e.failure) {
    case ScanFailure::sounding_read:
      return "error reading no. of frequencies for sounding " + s;
    case ScanFailure::frequency_count_low:
      return "no. of frequencies for sounding " + s + " < 1";
    case ScanFailure::transmitter_read:
      return "error reading no. of transmitters for " + scan_frequency_location(f, s);
    case ScanFailure::transmitter_count_low:
      return "no. of transmitters < 1 for " + scan_frequency_location(f, s);
    case ScanFailure::receiver_read:
      return "error reading no. of receivers for " + scan_transmitter_location(t, f, s);
    case ScanFailure::receiver_count_low:
      return "no. or receivers < 1 for " + scan_transmitter_location(t, f, s);
    case ScanFailure::receiver_skip:
      return "error skipping data for " + scan_receiver_location(index_text(e.ir), t, f, s);
    case ScanFailure::none:
      break;
  }
  return {};
}

// Where a scan may end early: at the start of a sounding read at a given
// place (the other thread's start), after some soundings or bytes (a trial),
// or when told to give up.
struct ScanLimits {
  std::shared_future<std::optional<std::uint64_t>>* stop = nullptr;
  std::uint64_t stop_search_from = 0;
  std::int64_t max_soundings = std::numeric_limits<std::int64_t>::max();
  std::uint64_t max_position = std::numeric_limits<std::uint64_t>::max();
  const std::atomic<bool>* cancel = nullptr;
};

// Reads the next record the quick way with `take`, else leaves the unit at
// that record for `reader`: the status of the read, as the reader gives it.
template <typename Take>
IoStatus read_entry(textio::FreeFormatReader& reader, textio::InputUnit& unit, std::span<const Item> items,
                    Take take) {
  std::string_view record;
  if (unit.next_record(record) == IoStatus::ok) {
    if (take(textio::PlainRecord(record))) return IoStatus::ok;
    unit.step_back();
  }
  return reader.read(items);
}

// Scans sounding entries from the reader's position to the end of the file.
ScanPart scan_soundings(textio::FreeFormatReader& reader, textio::InputUnit& unit, const ScanLimits& limits) {
  ScanPart part;
  constexpr std::uint64_t kNoStop = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t stop = kNoStop;
  bool stop_known = limits.stop == nullptr;
  // Scratch values: read, tested where counts, never kept.
  float x = 0;
  float y = 0;
  float value = 0;
  float height = 0;
  char orientation[1] = {' '};
  const auto fail = [&part](ScanFailure failure, std::int32_t ifreq = 0, std::int32_t it = 0, std::int32_t ir = 0) {
    part.error = {failure, part.count, ifreq, it, ir};
    return part;
  };

  for (;;) {
    const std::uint64_t position = unit.position();
    if (!stop_known && position >= limits.stop_search_from) {
      stop = limits.stop->get().value_or(kNoStop);
      stop_known = true;
    }
    if (position >= stop) {
      if (position == stop) {
        part.reached_stop = true;
        return part;
      }
      stop = kNoStop;  // passed it: the other thread's start was no sounding start
    }
    if (part.count >= limits.max_soundings || position > limits.max_position) return part;
    if (limits.cancel != nullptr && limits.cancel->load(std::memory_order_relaxed)) return part;

    std::int32_t nfreq = 0;
    const Item sounding[] = {Item::of(x), Item::of(y), Item::of(nfreq)};
    const IoStatus status = read_entry(reader, unit, sounding, [&](textio::PlainRecord r) {
      return r.skip_real() && r.skip_real() && r.integer(nfreq);
    });
    if (status == IoStatus::end_of_file) return part;
    ++part.count;
    if (status != IoStatus::ok || part.count > std::numeric_limits<std::int32_t>::max()) {
      return fail(ScanFailure::sounding_read);
    }
    if (nfreq < 1) return fail(ScanFailure::frequency_count_low);
    if (nfreq > part.maxfreq) part.maxfreq = nfreq;

    for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) {
      std::int32_t ntx = 0;
      const Item frequency[] = {Item::of(value), Item::of(ntx)};
      const auto quick_frequency = [&](textio::PlainRecord r) { return r.skip_real() && r.integer(ntx); };
      if (read_entry(reader, unit, frequency, quick_frequency) != IoStatus::ok) {
        return fail(ScanFailure::transmitter_read, ifreq);
      }
      if (ntx < 1) return fail(ScanFailure::transmitter_count_low, ifreq);
      if (ntx > part.maxtx) part.maxtx = ntx;

      for (std::int32_t it = 1; it <= ntx; ++it) {
        std::int32_t nrx = 0;
        const Item transmitter[] = {Item::of(value), Item::of(height), Item::of(orientation), Item::of(nrx)};
        const auto quick_transmitter = [&](textio::PlainRecord r) {
          return r.skip_real() && r.skip_real() && r.letter(orientation[0]) && r.integer(nrx);
        };
        if (read_entry(reader, unit, transmitter, quick_transmitter) != IoStatus::ok) {
          return fail(ScanFailure::receiver_read, ifreq, it);
        }
        if (nrx < 1) return fail(ScanFailure::receiver_count_low, ifreq, it);
        if (nrx > part.maxrx) part.maxrx = nrx;
        std::string_view skipped;
        for (std::int32_t ir = 1; ir <= nrx; ++ir) {
          if (unit.next_record(skipped) != IoStatus::ok) return fail(ScanFailure::receiver_skip, ifreq, it, ir);
        }
      }
    }
  }
}

}  // namespace

std::optional<std::uint64_t> find_sounding_start(const std::string& name, std::uint64_t middle,
                                                 const std::atomic<bool>& cancel) {
  // A few soundings are read from each candidate: small buffers, one of
  // them reused, keep a search cheap enough to make several.
  textio::InputUnit cursor(kTrialBuffer);
  textio::InputUnit trial_unit(kTrialBuffer);
  std::string_view line;
  // The line that holds `middle` is partial; candidates begin after it.
  if (cursor.open(name, middle) != IoStatus::ok || cursor.next_record(line) != IoStatus::ok) return std::nullopt;
  for (int attempt = 0; attempt < kTrialLines; ++attempt) {
    const std::uint64_t candidate = cursor.position();
    if (trial_unit.is_open()) (void)trial_unit.close();
    if (trial_unit.open(name, candidate) != IoStatus::ok) return std::nullopt;
    textio::FreeFormatReader trial_reader(trial_unit);
    ScanLimits trial;
    trial.max_soundings = kTrialSoundings;
    trial.max_position = candidate + kTrialBytes;
    trial.cancel = &cancel;
    const ScanPart part = scan_soundings(trial_reader, trial_unit, trial);
    if (part.error.failure == ScanFailure::none && part.count > 0) return candidate;
    if (cursor.next_record(line) != IoStatus::ok) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<ScanSample> sample_first_soundings(std::string_view name, std::int64_t soundings) {
  textio::InputUnit unit(kTrialBuffer);
  if (unit.open(name) != IoStatus::ok) return std::nullopt;
  textio::FreeFormatReader reader(unit);
  ScanSample sample;
  const Item header[] = {Item::of(sample.announced)};
  if (reader.read(header) != IoStatus::ok) return std::nullopt;
  sample.first_offset = unit.position();
  ScanLimits limits;
  limits.max_soundings = soundings;
  const ScanPart part = scan_soundings(reader, unit, limits);
  if (part.error.failure != ScanFailure::none) return std::nullopt;
  sample.soundings = part.count;
  sample.end_offset = unit.position();
  sample.file_bytes = unit.file_size();
  sample.largest = {static_cast<std::int32_t>(part.count), part.maxfreq, part.maxtx, part.maxrx};
  return sample;
}

namespace {

// The second thread: finds a line near `middle` that starts a run of
// well-formed sounding entries, tells the first thread where, and scans from
// there to the end.
struct SecondHalf {
  std::uint64_t start = 0;
  ScanPart part;
};

std::optional<SecondHalf> scan_second_half(const std::string& name, std::uint64_t middle, const std::atomic<bool>& cancel,
                                           std::promise<std::optional<std::uint64_t>>& start_found) {
  const std::optional<std::uint64_t> start = find_sounding_start(name, middle, cancel);
  start_found.set_value(start);
  if (!start) return std::nullopt;

  textio::InputUnit unit;
  if (unit.open(name, *start) != IoStatus::ok) return std::nullopt;
  textio::FreeFormatReader reader(unit);
  ScanLimits limits;
  limits.cancel = &cancel;
  SecondHalf half{*start, scan_soundings(reader, unit, limits)};
  if (cancel.load()) return std::nullopt;
  return half;
}

// Stops the second thread and waits for it, however the scan ends.
struct SecondThread {
  std::atomic<bool> cancel{false};
  std::promise<std::optional<std::uint64_t>> start_found;
  std::shared_future<std::optional<std::uint64_t>> start = start_found.get_future().share();
  std::future<std::optional<SecondHalf>> result;
  ~SecondThread() {
    cancel = true;
    if (result.valid()) result.wait();
  }
};

}  // namespace

void report_count(textio::Console& console, std::string_view name, std::int32_t found, std::int32_t announced) {
  if (found == announced) {
    console.write_record("  " + sounding_text(found) + " soundings read from " + quoted(name) + ".");
  } else {
    console.write_record("  " + sounding_text(found) + " soundings read from " + quoted(name) + " (not " +
                         sounding_text(announced) + " as advertised).");
  }
}

Dimensions getdims(std::string_view name, textio::Console& console, std::optional<SplitPoint>* split,
                   std::uint64_t split_minimum_bytes) {
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

  SecondThread second;
  ScanLimits limits;
  const std::uint64_t size = unit.file_size();
  if (size >= split_minimum_bytes && size > 0) {
    second.result = std::async(std::launch::async, scan_second_half, std::string(name), size / 2,
                               std::cref(second.cancel), std::ref(second.start_found));
    limits.stop = &second.start;
    limits.stop_search_from = size / 2;
  }
  ScanPart whole = scan_soundings(reader, unit, limits);
  if (whole.error.failure != ScanFailure::none) emsgstop(scan_message(whole.error, 0));
  if (whole.reached_stop) {
    const std::optional<SecondHalf> half = second.result.get();
    if (!half) {
      // Cannot happen once the start was handed over; scan on alone.
      whole.reached_stop = false;
      ScanLimits alone;
      const ScanPart rest = scan_soundings(reader, unit, alone);
      if (rest.error.failure != ScanFailure::none) emsgstop(scan_message(rest.error, whole.count));
      whole.count += rest.count;
      whole.maxfreq = std::max(whole.maxfreq, rest.maxfreq);
      whole.maxtx = std::max(whole.maxtx, rest.maxtx);
      whole.maxrx = std::max(whole.maxrx, rest.maxrx);
    } else {
      if (half->part.error.failure != ScanFailure::none) emsgstop(scan_message(half->part.error, whole.count));
      if (split != nullptr && half->part.count > 0) {
        *split = SplitPoint{half->start, static_cast<std::int32_t>(whole.count + 1)};
      }
      whole.count += half->part.count;
      whole.maxfreq = std::max(whole.maxfreq, half->part.maxfreq);
      whole.maxtx = std::max(whole.maxtx, half->part.maxtx);
      whole.maxrx = std::max(whole.maxrx, half->part.maxrx);
      if (whole.count > std::numeric_limits<std::int32_t>::max()) {
        emsgstop("error reading no. of frequencies for sounding " + sounding_text(whole.count));
      }
    }
  }
  dims.maxfreq = whole.maxfreq;
  dims.maxtx = whole.maxtx;
  dims.maxrx = whole.maxrx;

  const auto found = static_cast<std::int32_t>(whole.count);
  report_count(console, name, found, dims.nsound);
  dims.nsound = found;
  if (unit.close() != IoStatus::ok) emsgstop("error closing " + quoted(name) + " after counting data");
  return dims;
}

}  // namespace korvan::reader::getdims_mod
