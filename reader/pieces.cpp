// Cutting the text into pieces at sounding starts.
#include "reader/pieces.h"

#include <algorithm>
#include <cstring>

#include "reader/entry_walk.h"
#include "text/input_unit.h"

namespace korvan::reader {
namespace {

// A cut must be followed by this many sounding entries without a fault. A
// cut in the wrong place all the same is found when the pieces are joined.
constexpr std::int64_t kTrialSoundings = 4;
// Lines tried as a cut, from where the piece is to end.
constexpr int kTrialLines = 64;
// The cutter gives up beyond this many piece sizes (and at least this many
// bytes) without a cut: soundings this long are read in one piece.
constexpr std::size_t kMaxPieces = 4;
constexpr std::size_t kMaxPieceBytes = std::size_t{4} << 20;

// Counts whole soundings; any fault fails the trial.
class Trial {
 public:
  bool more() const { return soundings_ < kTrialSoundings; }
  void sounding(const Place&, const SoundingEntry&, const EntryReader&) {}
  void frequency(const Place&, const FrequencyEntry&, const EntryReader&) {}
  void transmitter(const Place&, const TransmitterEntry&, const EntryReader&) {}
  void receiver(const Place&, const ReceiverEntry&, const EntryReader&) {}
  void end_sounding(const Place&) { ++soundings_; }
  bool value_fault(const Fault&) { return false; }

 private:
  std::int64_t soundings_ = 0;
};

bool blank_line(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

}  // namespace

PieceCutter::PieceCutter(text::DataSource& data, std::string_view first_bytes, std::size_t piece_bytes)
    : data_(data), piece_bytes_(std::max<std::size_t>(piece_bytes, 1)), standard_(piece_bytes_ + piece_bytes_ / 4) {
  capacity_ = std::max(first_bytes.size(), standard_);
  buffer_ = buffer(capacity_);
  std::memcpy(buffer_.get(), first_bytes.data(), first_bytes.size());
  size_ = first_bytes.size();
  std::memset(buffer_.get() + size_, 0, text::kRecordPadding);
}

std::unique_ptr<char[]> PieceCutter::buffer(std::size_t capacity) {
  if (capacity == standard_ && !spare_.empty()) {
    std::unique_ptr<char[]> kept = std::move(spare_.back());
    spare_.pop_back();
    return kept;
  }
  return std::make_unique_for_overwrite<char[]>(capacity + text::kRecordPadding);
}

void PieceCutter::recycle(Piece piece) {
  if (piece.capacity == standard_ && piece.bytes) spare_.push_back(std::move(piece.bytes));
}

// Reads until the buffer holds `wanted` bytes or the text ends.
bool PieceCutter::read_more(std::size_t wanted) {
  if (wanted > capacity_) {
    auto bigger = buffer(wanted);
    std::memcpy(bigger.get(), buffer_.get(), size_);
    buffer_ = std::move(bigger);
    capacity_ = wanted;
  }
  while (size_ < wanted && !ended_) {
    const std::size_t got = data_.read(buffer_.get() + size_, capacity_ - size_);
    if (got == 0) ended_ = true;
    size_ += got;
  }
  std::memset(buffer_.get() + size_, 0, text::kRecordPadding);
  return !data_.failed();
}

// A line start from `from` on where kTrialSoundings soundings are read
// without a fault within the buffer.
std::optional<std::size_t> PieceCutter::find_cut(std::size_t from) const {
  const char* const text = buffer_.get();
  const void* nl = std::memchr(text + from, '\n', size_ - from);
  if (nl == nullptr) return std::nullopt;
  std::size_t line = static_cast<std::size_t>(static_cast<const char*>(nl) - text) + 1;
  text::InputUnit unit;
  for (int tried = 0; tried < kTrialLines && line < size_;) {
    const void* end = std::memchr(text + line, '\n', size_ - line);
    if (end == nullptr) return std::nullopt;
    const auto next = static_cast<std::size_t>(static_cast<const char*>(end) - text) + 1;
    // A piece's walk passes blank lines before a sounding entry itself.
    if (!blank_line({text + line, next - line})) {
      ++tried;
      unit.attach(text + line, size_ - line);
      EntryReader in(unit);
      Trial trial;
      EntryWalk walk(in, trial);
      if (walk.run() == WalkEnd::stopped) return line;
    }
    line = next;
  }
  return std::nullopt;
}

std::optional<Piece> PieceCutter::next() {
  if (stuck_) return std::nullopt;
  if (!read_more(piece_bytes_)) return std::nullopt;
  if (size_ == 0) return std::nullopt;
  // A cut near the piece's size, where the soundings of a trial follow
  // within the bytes read; more are read while they do not.
  std::optional<std::size_t> cut;
  const std::size_t from = piece_bytes_ - std::min(piece_bytes_ / 2, std::size_t{256} << 10);
  while (!ended_) {
    cut = find_cut(std::min(from, size_));
    if (cut) break;
    if (size_ >= std::max(kMaxPieces * piece_bytes_, kMaxPieceBytes)) {
      stuck_ = true;
      return std::nullopt;
    }
    if (!read_more(size_ + piece_bytes_)) return std::nullopt;
  }
  Piece piece;
  piece.number = cut_++;
  if (!cut) {
    // The text has ended: the rest is the last piece.
    piece.size = size_;
    piece.capacity = capacity_;
    piece.last = true;
    piece.bytes = std::move(buffer_);
    buffer_ = buffer(0);
    capacity_ = size_ = 0;
    return piece;
  }
  // The bytes after the cut begin the next piece.
  const std::size_t next_capacity = std::max(standard_, size_ - *cut);
  auto rest = buffer(next_capacity);
  std::memcpy(rest.get(), buffer_.get() + *cut, size_ - *cut);
  piece.size = *cut;
  piece.capacity = capacity_;
  piece.bytes = std::move(buffer_);
  buffer_ = std::move(rest);
  capacity_ = next_capacity;
  size_ -= *cut;
  std::memset(buffer_.get() + size_, 0, text::kRecordPadding);
  return piece;
}

std::size_t ChainedText::read(char* into, std::size_t room) {
  while (part_ < parts_.size()) {
    const std::string& part = parts_[part_];
    if (at_ < part.size()) {
      const std::size_t n = part.copy(into, room, at_);
      at_ += n;
      return n;
    }
    ++part_;
    at_ = 0;
  }
  return rest_.read(into, room);
}

}  // namespace korvan::reader
