// Free-format reading of arbitrary bytes with arbitrary item lists.
//
// Input layout: byte 0 gives the length H (0..31) of a small program in the
// bytes that follow it; the rest is the file. The program chooses the chunk
// size in which the file reaches the reader (one packet of a SEQPACKET socket
// per read(2), so the buffer refills at fuzzer-chosen places) and a sequence
// of operations with their item lists. Checked besides the sanitizers:
//  - after every read the position is at the start of a record (or the end);
//  - a read with no items consumes exactly one record;
//  - a step back returns to the start of the last record read;
//  - an entry read one value at a time by the value cursor (the quick way,
//    then the general reading) gives the same status, items and records
//    consumed as one general read of the same items, fed the same bytes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "text/free_format_reader.h"
#include "text/input_unit.h"
#include "text/status.h"
#include "text/value_cursor.h"

namespace {

using korvan::text::FreeFormatReader;
using korvan::text::InputUnit;
using korvan::text::IoStatus;
using korvan::text::Item;
using korvan::text::ItemKind;
using korvan::text::ValueCursor;

constexpr std::size_t kMaxFile = 64 * 1024;  // stays below the socket's buffer
constexpr std::size_t kMaxPackets = 64;
constexpr std::size_t kTextLengths[] = {1, 2, 7, 99, 300};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "free-format invariant broken: %s\n", what);
  std::abort();
}

class Program {
 public:
  Program(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  std::uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Storage for one item list; every variable starts from a fixed sentinel so
// that two reads of the same values can be compared byte for byte.
struct ItemList {
  std::vector<ItemKind> kinds;
  std::vector<std::size_t> lengths;
  std::vector<std::int32_t> integers;
  std::vector<float> reals;
  std::vector<std::string> texts;
  std::vector<std::size_t> value_lengths;
  std::vector<Item> items;

  void add(ItemKind kind, std::size_t length) {
    kinds.push_back(kind);
    lengths.push_back(length);
  }
  void append(const ItemList& other) {
    for (std::size_t i = 0; i < other.kinds.size(); ++i) add(other.kinds[i], other.lengths[i]);
  }
  // Builds the items; the vectors are not resized afterwards.
  void bind() {
    const std::size_t n = kinds.size();
    integers.assign(n, -12345);
    reals.assign(n, -1.25f);
    texts.assign(n, std::string());
    value_lengths.assign(n, 7777);
    items.clear();
    for (std::size_t i = 0; i < n; ++i) {
      switch (kinds[i]) {
        case ItemKind::integer: items.push_back(Item::of(integers[i])); break;
        case ItemKind::real: items.push_back(Item::of(reals[i])); break;
        case ItemKind::text:
          texts[i].assign(lengths[i], '#');
          items.push_back(Item::of(std::span<char>(texts[i]), &value_lengths[i]));
          break;
      }
    }
  }
  // Whether item i here holds the same as item j of `other`.
  bool same(std::size_t i, const ItemList& other, std::size_t j) const {
    switch (kinds[i]) {
      case ItemKind::integer: return integers[i] == other.integers[j];
      case ItemKind::real: return std::memcmp(&reals[i], &other.reals[j], sizeof(float)) == 0;
      case ItemKind::text: return texts[i] == other.texts[j] && value_lengths[i] == other.value_lengths[j];
    }
    return false;
  }
};

ItemList make_list(Program& program) {
  ItemList list;
  const int count = program.next() % 9;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t b = program.next();
    const auto kind = static_cast<ItemKind>(b % 3);
    list.add(kind, kind == ItemKind::text ? kTextLengths[(b / 3) % std::size(kTextLengths)] : 0);
  }
  list.bind();
  return list;
}

// Where the records of the file start, as the input unit sees the file: up
// to the first Ctrl-Z, lines ending at LF.
struct Records {
  std::vector<std::size_t> starts;
  std::size_t end = 0;

  explicit Records(std::string_view file) {
    const std::size_t z = file.find('\x1a');
    end = z == std::string_view::npos ? file.size() : z;
    for (std::size_t i = 0; i < end; ++i) {
      if (i == 0 || file[i - 1] == '\n') starts.push_back(i);
    }
  }
  bool boundary(std::size_t position) const {
    return position == end || std::binary_search(starts.begin(), starts.end(), position);
  }
  // The start of the record that ends just before `position`.
  std::size_t previous(std::size_t position) const {
    const auto it = std::lower_bound(starts.begin(), starts.end(), position);
    if (it == starts.begin()) fail("no record before the position");
    return *(it - 1);
  }
  std::size_t following(std::size_t position) const {
    const auto it = std::upper_bound(starts.begin(), starts.end(), position);
    return it == starts.end() ? end : *it;
  }
};

class Session {
 public:
  // `shadow` is fed the same bytes: the general reading there checks the
  // value cursor here, as long as both stand at the same record.
  Session(InputUnit& unit, InputUnit& shadow, const Records& records)
      : unit_(unit), reader_(unit), cursor_(unit), shadow_(shadow), shadow_reader_(shadow), records_(records) {}

  void read(ItemList& list) {
    after_read(reader_.read(list.items));
    if (in_step_) {
      ItemList copy;
      copy.append(list);
      copy.bind();
      (void)shadow_reader_.read(copy.items);
    }
  }

  void skip_record() {
    const std::size_t before = unit_.position();
    const IoStatus status = reader_.read({});
    after_read(status);
    if (in_step_) (void)shadow_reader_.read({});
    if (status == IoStatus::ok && unit_.position() != records_.following(before)) {
      fail("a read with no items did not consume exactly one record");
    }
    if (status == IoStatus::end_of_file && before != records_.end) fail("end of file before the end");
  }

  void step_back() {
    if (!has_last_) return;
    if (unit_.step_back() != IoStatus::ok) fail("step back refused after a read");
    if (unit_.position() != last_start_) fail("step back went elsewhere");
    if (in_step_ && shadow_.step_back() != IoStatus::ok) fail("step back refused in the shadow");
    previous_position_ = last_start_;
  }

  // One entry through the value cursor (numbers and letters only), checked
  // against one general read of the same items.
  void entry(ItemList& list, bool confined) {
    const std::size_t first_end = records_.following(unit_.position());
    const bool has_record = unit_.position() < records_.end;
    IoStatus status = cursor_.start(confined);
    for (std::size_t i = 0; status == IoStatus::ok && i < list.kinds.size(); ++i) {
      using korvan::text::Integer, korvan::text::Letter, korvan::text::Real;
      const bool read = list.kinds[i] == ItemKind::integer ? cursor_.take(Integer{list.integers[i]})
                        : list.kinds[i] == ItemKind::real  ? cursor_.take(Real{list.reals[i]})
                                                           : cursor_.take(Letter{list.texts[i][0]});
      if (!read) status = cursor_.status();
    }
    after_read(status);
    if (!in_step_) return;
    ItemList general;
    general.append(list);
    general.bind();
    IoStatus expected = shadow_reader_.read(general.items);
    // A confined entry ends short where the general read looked further;
    // the two units then stand differently.
    if (confined && has_record && (shadow_.position() > first_end || expected == IoStatus::end_of_file)) {
      expected = IoStatus::short_record;
      in_step_ = false;
    }
    if (status != expected) fail("the value cursor's status differs from one general read");
    if (status != IoStatus::ok || !in_step_) {
      in_step_ = in_step_ && shadow_.position() == unit_.position();
      return;
    }
    if (shadow_.position() != unit_.position()) fail("the value cursor consumed other records than one general read");
    for (std::size_t i = 0; i < list.kinds.size(); ++i) {
      const bool same = list.kinds[i] == ItemKind::text ? list.texts[i][0] == general.texts[i][0]
                                                        : list.same(i, general, i);
      if (!same) fail("the value cursor's items differ from one general read");
    }
  }

 private:
  void after_read(IoStatus status) {
    if (status == IoStatus::failed) fail("a read of a readable input failed");
    const std::size_t position = unit_.position();
    if (!records_.boundary(position)) fail("a read ended inside a record");
    // Reads only move forward; a read that moved delivered at least one
    // record, the last of which a step back returns to. A step back is only
    // meant directly after a read that did not meet the end of the input.
    if (status == IoStatus::end_of_file) {
      has_last_ = false;
    } else if (position > previous_position_) {
      last_start_ = records_.previous(position);
      has_last_ = true;
    }
    previous_position_ = position;
  }

  InputUnit& unit_;
  FreeFormatReader reader_;
  ValueCursor cursor_;
  InputUnit& shadow_;
  FreeFormatReader shadow_reader_;
  const Records& records_;
  bool in_step_ = true;
  std::size_t previous_position_ = 0;
  std::size_t last_start_ = 0;
  bool has_last_ = false;
};

// An item list for the value cursor: numbers and letters.
ItemList make_entry(Program& program) {
  ItemList list;
  const int count = 1 + program.next() % 9;
  for (int i = 0; i < count; ++i) {
    const auto kind = static_cast<ItemKind>(program.next() % 3);
    list.add(kind, kind == ItemKind::text ? 1 : 0);
  }
  list.bind();
  return list;
}

// Hands the file to the reader in packets of `chunk` bytes (the last one
// takes the rest), then ends the stream.
int feed(std::string_view file, std::size_t chunk) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
  std::size_t packets = 0;
  while (!file.empty()) {
    const std::size_t n = ++packets == kMaxPackets ? file.size() : std::min(chunk, file.size());
    if (::send(fds[1], file.data(), n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) std::abort();
    file.remove_prefix(n);
  }
  ::close(fds[1]);
  return fds[0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t header = std::min<std::size_t>(data[0] % 32, size - 1);
  Program program(data + 1, header);
  const std::string_view file(reinterpret_cast<const char*>(data) + 1 + header, size - 1 - header);
  if (file.size() > kMaxFile) return 0;

  const std::uint8_t chunk_byte = program.next();
  const std::size_t chunk = chunk_byte == 0 ? kMaxFile : std::max<std::size_t>(chunk_byte % 64 + 1, file.size() / 32);
  const int fd = feed(file, chunk);
  const int shadow_fd = feed(file, chunk);
  const Records records(file);
  {
    // One unit for all runs: its 1 MiB buffer is made once (attach resets
    // everything else), which keeps the runs fast.
    static InputUnit unit;
    static InputUnit shadow;
    unit.attach(fd);
    shadow.attach(shadow_fd);
    Session session(unit, shadow, records);
    if (program.done()) {
      // No program: read the whole file as reals, as a scan would.
      ItemList list;
      list.add(ItemKind::real, 0);
      list.bind();
      for (int i = 0; i < 4096 && unit.position() < records.end; ++i) session.read(list);
    }
    for (int op = 0; op < 32 && !program.done(); ++op) {
      switch (program.next() % 5) {
        case 0: {
          ItemList list = make_list(program);
          session.read(list);
          break;
        }
        case 1:
        case 2: {
          ItemList list = make_entry(program);
          session.entry(list, program.next() % 2 == 0);
          break;
        }
        case 3: session.skip_record(); break;
        case 4: session.step_back(); break;
      }
    }
  }
  ::close(shadow_fd);
  ::close(fd);
  return 0;
}
