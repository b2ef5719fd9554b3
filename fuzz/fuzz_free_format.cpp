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
//  - read_line_after, after a step back, gives the same status and items as
//    one fresh confined read of the whole line with both item lists.
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

#include "textio/free_format_reader.h"
#include "textio/input_unit.h"
#include "textio/status.h"

namespace {

using korvan::textio::FreeFormatReader;
using korvan::textio::InputUnit;
using korvan::textio::IoStatus;
using korvan::textio::Item;
using korvan::textio::ItemKind;
using korvan::textio::LineMark;

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
  Session(InputUnit& unit, const Records& records) : unit_(unit), reader_(unit), records_(records) {}

  void read(ItemList& list) { after_read(reader_.read(list.items)); }

  void read_line(ItemList& list) { after_read(reader_.read_line(list.items)); }

  void skip_record() {
    const std::size_t before = unit_.position();
    const IoStatus status = reader_.read({});
    after_read(status);
    if (status == IoStatus::ok && unit_.position() != records_.following(before)) {
      fail("a read with no items did not consume exactly one record");
    }
    if (status == IoStatus::end_of_file && before != records_.end) fail("end of file before the end");
  }

  void step_back() {
    if (!has_last_) return;
    if (unit_.step_back() != IoStatus::ok) fail("step back refused after a read");
    if (unit_.position() != last_start_) fail("step back went elsewhere");
    previous_position_ = last_start_;
  }

  // The receiver-line pattern of the data load, checked against a fresh read.
  void line_twice(ItemList& first, ItemList& second) {
    LineMark mark;
    const IoStatus status = reader_.read_line(first.items, &mark);
    after_read(status);
    if (status != IoStatus::ok) return;
    const std::size_t after_first = unit_.position();
    step_back();
    const IoStatus again = reader_.read_line_after(mark, second.items);
    after_read(again);
    if (unit_.position() != after_first) fail("read_line_after ended elsewhere");

    ItemList whole;
    whole.append(first);
    whole.append(second);
    whole.bind();
    step_back();
    const IoStatus fresh = reader_.read_line(whole.items);
    after_read(fresh);
    if (fresh != again) fail("read_line_after status differs from a fresh read of the line");
    if (fresh != IoStatus::ok) return;
    for (std::size_t i = 0; i < first.kinds.size(); ++i) {
      if (!whole.same(i, first, i)) fail("first items differ from a fresh read of the line");
    }
    for (std::size_t i = 0; i < second.kinds.size(); ++i) {
      if (!whole.same(first.kinds.size() + i, second, i)) fail("read_line_after items differ from a fresh read");
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
  const Records& records_;
  std::size_t previous_position_ = 0;
  std::size_t last_start_ = 0;
  bool has_last_ = false;
};

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
  const Records records(file);
  {
    // One unit for all runs: its 1 MiB buffer is made once (attach resets
    // everything else), which keeps the runs fast.
    static InputUnit unit;
    unit.attach(fd);
    Session session(unit, records);
    if (program.done()) {
      // No program: read the whole file as reals, as a scan would.
      ItemList list;
      list.add(ItemKind::real, 0);
      list.bind();
      for (int i = 0; i < 4096 && unit.position() < records.end; ++i) session.read(list);
    }
    for (int op = 0; op < 32 && !program.done(); ++op) {
      switch (program.next() % 6) {
        case 0: {
          ItemList list = make_list(program);
          session.read(list);
          break;
        }
        case 1: {
          ItemList first = make_list(program);
          ItemList second = make_list(program);
          session.line_twice(first, second);
          break;
        }
        case 2: session.skip_record(); break;
        case 3: session.step_back(); break;
        case 4: {
          ItemList list = make_list(program);
          session.read_line(list);
          break;
        }
        case 5:
          // The data load's own shape: seven scratch values on one line, then
          // the data after them.
          {
            ItemList info;
            for (const ItemKind k : {ItemKind::real, ItemKind::real, ItemKind::real, ItemKind::real,
                                     ItemKind::text, ItemKind::integer, ItemKind::text}) {
              info.add(k, 1);
            }
            info.bind();
            ItemList data_items;
            const int n = 1 + program.next() % 2;
            for (int i = 0; i < n; ++i) data_items.add(ItemKind::real, 0);
            data_items.bind();
            session.line_twice(info, data_items);
          }
          break;
      }
    }
  }
  ::close(fd);
  return 0;
}
