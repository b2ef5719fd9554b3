// Keeps a data file that cannot be read twice, or that is gzip-compressed, in
// an unnamed temporary file: the input is read in large blocks, inflated when
// it starts with the gzip magic, watched for a binary start and an endless
// record, and written to the copy by a second thread while the next block is
// made.
#include "textio/data_source.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace korvan::textio {
namespace {

// Large blocks keep the system calls and inflate calls few; a 400 MB file
// then costs zlib's own time and little more.
constexpr std::size_t kBlockBytes = std::size_t{4} << 20;
// RecordWatch sees each block whole, so a record can outgrow the limit only
// across blocks or at a block's start.
static_assert(kBlockBytes <= kMaxRecordBytes);

constexpr std::array<unsigned char, 2> kGzipMagic = {0x1f, 0x8b};

std::string system_text(int error) { return std::error_code(error, std::generic_category()).message(); }

bool starts_with_gzip_magic(const char* bytes, std::size_t size) {
  return size >= kGzipMagic.size() && static_cast<unsigned char>(bytes[0]) == kGzipMagic[0] &&
         static_cast<unsigned char>(bytes[1]) == kGzipMagic[1];
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::unique_ptr<char[]> block_buffer() { return std::make_unique_for_overwrite<char[]>(kBlockBytes); }

// Tracks the run of bytes since the last line end across blocks.
class RecordWatch {
 public:
  // How many of the block's bytes belong in the copy: all of them, unless a
  // record outgrows kMaxRecordBytes, whose first kMaxRecordBytes + 1 bytes
  // are kept and nothing after them.
  std::size_t admit(const char* block, std::size_t size) {
    const auto* first = static_cast<const char*>(std::memchr(block, '\n', size));
    const std::size_t before_first = first != nullptr ? static_cast<std::size_t>(first - block) : size;
    if (run_ + before_first > kMaxRecordBytes) {
      over_ = true;
      return kMaxRecordBytes + 1 - run_;
    }
    if (first == nullptr) {
      run_ += size;
    } else {
      const auto* last = static_cast<const char*>(::memrchr(block, '\n', size));
      run_ = size - static_cast<std::size_t>(last - block) - 1;
    }
    return size;
  }
  bool over() const { return over_; }

 private:
  std::size_t run_ = 0;  // never above kMaxRecordBytes
  bool over_ = false;
};

// Refuses data whose first kHintBytes hold a NUL byte. No survey has one,
// and an endless input of such bytes with line ends here and there
// (/dev/urandom) would otherwise fill the temporary directory before the
// converter could say what is wrong.
class BinaryWatch {
 public:
  std::optional<SourceFailure> admit(const char* block, std::size_t size) {
    if (head_.size() >= kHintBytes) return std::nullopt;
    const std::size_t take = std::min(size, kHintBytes - head_.size());
    head_.append(block, take);
    if (std::memchr(block, '\0', take) == nullptr) return std::nullopt;
    // The whole start, not only this block, so that a magic number shows.
    return SourceFailure{"the data look " + looks_compressed_or_binary(head_).value_or("binary") +
                         ", not like a text file of soundings"};
  }

 private:
  std::string head_;  // the first bytes, up to kHintBytes
};

// The number of soundings comes first, and a word there is no number: the
// converter stops at it, so the copy ends with the block that holds it. An
// endless input of words (`yes`) would otherwise fill the temporary
// directory before the converter could say what is wrong.
class WordFirstWatch {
 public:
  void admit(const char* block, std::size_t size) {
    for (std::size_t i = 0; i < size && !decided_; ++i) {
      const char c = block[i];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
      decided_ = true;
      word_first_ = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
  }
  bool word_first() const { return word_first_; }

 private:
  bool decided_ = false;  // a character other than a blank or line end was seen
  bool word_first_ = false;
};

SourceFailure keeping_failure(int error, const std::string& directory) {
  return {system_text(error) + " (keeping a copy in " + directory + ")"};
}

// 0, or the error that stopped the write.
int write_all(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    // A write that takes nothing would take nothing forever.
    if (written <= 0) return written < 0 ? errno : ENOSPC;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

std::variant<Descriptor, SourceFailure> open_unnamed_file(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  // These say the kernel or the file system knows no unnamed files; any
  // other error would befall a named file too.
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    std::string name = directory + "/korvan2col-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
  }
  if (fd < 0) return keeping_failure(errno, directory);
  return Descriptor(fd);
}

// The unnamed temporary file being filled, block by block. A thread of its
// own writes one block while the next one is made: writing into the file
// costs about half as much as inflating, and this way it costs no time.
class CopyTarget {
 public:
  CopyTarget(Descriptor file, std::string directory)
      : file_(std::move(file)), directory_(std::move(directory)), writer_([this] { write_blocks(); }) {}
  ~CopyTarget() {
    {
      const std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    writer_.join();
  }
  CopyTarget(const CopyTarget&) = delete;
  CopyTarget& operator=(const CopyTarget&) = delete;

  // The kBlockBytes to fill next.
  char* block() { return blocks_[filling_].get(); }

  // Hands over the first `size` bytes of block(), or those up to the first
  // overlong record, for writing; block() is then another one. A binary
  // start ends the copy with a failure.
  std::optional<SourceFailure> keep(std::size_t size) {
    if (auto failure = binary_.admit(block(), size)) return failure;
    size = watch_.admit(block(), size);
    first_.admit(block(), size);
    if (size == 0) return std::nullopt;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    if (error_ != 0) return keeping_failure(error_, directory_);
    pending_ = size;
    filling_ = 1 - filling_;
    lock.unlock();
    changed_.notify_all();
    return std::nullopt;
  }
  // An overlong record or a word first ends the copy: the converter stops
  // at either anyway.
  bool complete() const { return watch_.over() || first_.word_first(); }

  // Waits for the last write.
  std::variant<Descriptor, SourceFailure> finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    if (error_ != 0) return keeping_failure(error_, directory_);
    return std::move(file_);
  }

 private:
  void write_blocks() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return pending_ || closing_; });
      if (!pending_) return;
      const char* const bytes = blocks_[1 - filling_].get();
      const std::size_t size = *pending_;
      lock.unlock();
      const int error = write_all(file_.get(), bytes, size);
      lock.lock();
      error_ = error;
      pending_.reset();
      changed_.notify_all();
    }
  }

  Descriptor file_;
  const std::string directory_;
  BinaryWatch binary_;
  RecordWatch watch_;
  WordFirstWatch first_;
  std::array<std::unique_ptr<char[]>, 2> blocks_ = {block_buffer(), block_buffer()};
  int filling_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<std::size_t> pending_;  // bytes of the other block still to write
  bool closing_ = false;
  int error_ = 0;
  std::thread writer_;  // last: it starts once the rest is ready
};

// The input read in blocks until its end.
class Input {
 public:
  explicit Input(int fd) : fd_(fd) {}

  // Reads once into [to, to + room); `got` is 0 at the end of the input.
  std::optional<SourceFailure> read(char* to, std::size_t room, std::size_t& got) {
    got = 0;
    if (ended_) return std::nullopt;
    ssize_t n;
    do {
      n = ::read(fd_, to, room);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return SourceFailure{system_text(errno)};
    if (n == 0) ended_ = true;
    got = static_cast<std::size_t>(n);
    return std::nullopt;
  }

  // Reads until [to, to + room) holds at least `wanted` bytes or the input
  // ends; a pipe gives a few KiB per read.
  std::optional<SourceFailure> fill(char* to, std::size_t room, std::size_t wanted, std::size_t& got) {
    got = 0;
    while (got < wanted && !ended_) {
      std::size_t n = 0;
      if (auto failure = read(to + got, room - got, n)) return failure;
      got += n;
    }
    return std::nullopt;
  }
  bool ended() const { return ended_; }

 private:
  int fd_;
  bool ended_ = false;
};

// The `have` bytes already in target.block() are the start of the input.
std::optional<SourceFailure> copy_plain(Input& input, std::size_t have, CopyTarget& target) {
  while (have > 0) {
    std::size_t more = 0;
    const std::size_t room = kBlockBytes - have;
    if (auto failure = input.fill(target.block() + have, room, room, more)) return failure;
    if (auto failure = target.keep(have + more)) return failure;
    if (target.complete()) break;
    if (auto failure = input.fill(target.block(), kBlockBytes, 1, have)) return failure;
  }
  return std::nullopt;
}

class Inflater {
 public:
  Inflater() {
    // 16 + window bits: gzip members only, with their headers and checks.
    ok_ = ::inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK;
  }
  ~Inflater() {
    if (ok_) ::inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

// After the last member: zero bytes only, as a tape's last block leaves
// them, counted into `padding`. Anything else is no gzip file that a member
// ended, and the data it held cannot be told: the run must not go on with
// part of them. The `have` bytes at `in` come first.
std::optional<SourceFailure> pass_over_padding(Input& input, char* in, std::size_t have, int members,
                                               std::uint64_t& padding) {
  for (;;) {
    if (std::any_of(in, in + have, [](char c) { return c != '\0'; })) {
      return SourceFailure{"compressed data is corrupt (unexpected bytes after member " + std::to_string(members) +
                           ")"};
    }
    padding += have;
    if (input.ended()) return std::nullopt;
    if (auto failure = input.read(in, kBlockBytes, have)) return failure;
  }
}

// Decompresses every gzip member of the input, as zcat does: members follow
// one another, each whole; zero bytes may follow the last one (their count
// goes to `padding`), nothing else. The `have` bytes already in
// target.block() are the start of the input.
std::optional<SourceFailure> copy_gunzipped(Input& input, std::size_t have, CopyTarget& target,
                                            std::uint64_t& padding) {
  Inflater inflater;
  if (!inflater.ok()) return SourceFailure{"out of memory"};
  z_stream& z = inflater.stream();
  const auto input_block = block_buffer();
  char* const in = input_block.get();
  std::memcpy(in, target.block(), have);
  z.next_in = reinterpret_cast<Bytef*>(in);
  z.avail_in = static_cast<uInt>(have);
  int members = 0;
  for (;;) {
    if (z.avail_in == 0) {
      std::size_t got = 0;
      if (auto failure = input.read(in, kBlockBytes, got)) return failure;
      z.next_in = reinterpret_cast<Bytef*>(in);
      z.avail_in = static_cast<uInt>(got);
    }
    z.next_out = reinterpret_cast<Bytef*>(target.block());
    z.avail_out = static_cast<uInt>(kBlockBytes);
    const int rc = ::inflate(&z, Z_NO_FLUSH);
    if (auto failure = target.keep(kBlockBytes - z.avail_out)) return failure;
    if (target.complete()) return std::nullopt;
    switch (rc) {
      case Z_OK:
        break;
      case Z_BUF_ERROR:
        // No progress with fresh room for output: the input is used up.
        if (input.ended()) return SourceFailure{"compressed data is truncated"};
        break;
      case Z_STREAM_END: {
        // Whether another member follows: move what is left to the front
        // and make sure the magic's bytes are there to look at.
        ++members;
        const std::size_t left = z.avail_in;
        std::memmove(in, z.next_in, left);
        const std::size_t wanted = kGzipMagic.size() - std::min(left, kGzipMagic.size());
        std::size_t got = 0;
        if (auto failure = input.fill(in + left, kBlockBytes - left, wanted, got)) return failure;
        if (left + got == 0) return std::nullopt;
        if (!starts_with_gzip_magic(in, left + got)) return pass_over_padding(input, in, left + got, members, padding);
        z.next_in = reinterpret_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(left + got);
        ::inflateReset(&z);
        break;
      }
      case Z_MEM_ERROR:
        return SourceFailure{"out of memory"};
      default:
        // zlib says what is wrong ("invalid block type", "incorrect data check").
        return SourceFailure{z.msg != nullptr ? std::string("compressed data is corrupt (") + z.msg + ")"
                                              : "compressed data is corrupt"};
    }
  }
}

struct KeptCopy {
  Descriptor file;
  bool compressed = false;
  std::uint64_t padding = 0;
};

// Copies the input, from its first byte, into a new unnamed file.
std::variant<KeptCopy, SourceFailure> keep_copy(int fd) {
  const char* const tmpdir = std::getenv("TMPDIR");
  std::string directory = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  auto file = open_unnamed_file(directory);
  if (auto* failure = std::get_if<SourceFailure>(&file)) return std::move(*failure);
  CopyTarget target(std::move(std::get<Descriptor>(file)), std::move(directory));
  Input input(fd);
  std::size_t have = 0;
  if (auto failure = input.fill(target.block(), kBlockBytes, kGzipMagic.size(), have)) return std::move(*failure);
  const bool compressed = starts_with_gzip_magic(target.block(), have);
  std::uint64_t padding = 0;
  auto failure = compressed ? copy_gunzipped(input, have, target, padding) : copy_plain(input, have, target);
  if (failure) return std::move(*failure);
  auto kept = target.finish();
  if (auto* failure = std::get_if<SourceFailure>(&kept)) return std::move(*failure);
  return KeptCopy{std::move(std::get<Descriptor>(kept)), compressed, padding};
}

}  // namespace

DataSource::DataSource(int copy_fd, bool compressed, std::uint64_t padding)
    : path_("/proc/self/fd/" + std::to_string(copy_fd)), copy_fd_(copy_fd), compressed_(compressed), padding_(padding) {}

DataSource::~DataSource() {
  if (copy_fd_ >= 0) ::close(copy_fd_);
}

DataSource::DataSource(DataSource&& other) noexcept
    : path_(std::move(other.path_)),
      copy_fd_(std::exchange(other.copy_fd_, -1)),
      compressed_(other.compressed_),
      padding_(other.padding_) {}

DataSource& DataSource::operator=(DataSource&& other) noexcept {
  if (this != &other) {
    if (copy_fd_ >= 0) ::close(copy_fd_);
    path_ = std::move(other.path_);
    copy_fd_ = std::exchange(other.copy_fd_, -1);
    compressed_ = other.compressed_;
    padding_ = other.padding_;
  }
  return *this;
}

namespace {

// Whether an open file is a regular file that is not gzip-compressed, to be
// read in place.
std::variant<bool, SourceFailure> readable_in_place(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::array<char, kGzipMagic.size()> start{};
  const ssize_t got = ::pread(fd, start.data(), start.size(), 0);
  if (got < 0) return SourceFailure{system_text(errno)};
  return !starts_with_gzip_magic(start.data(), static_cast<std::size_t>(got));
}

}  // namespace

std::variant<DataSource, SourceFailure> open_data_source(std::string_view name, int standard_input) {
  const auto from_copy = [](std::variant<KeptCopy, SourceFailure> copy) -> std::variant<DataSource, SourceFailure> {
    if (auto* failure = std::get_if<SourceFailure>(&copy)) return std::move(*failure);
    KeptCopy& kept = std::get<KeptCopy>(copy);
    return DataSource(kept.file.release(), kept.compressed, kept.padding);
  };
  if (name == "-") {
    // Standard input redirected from a file is read in place like the file,
    // through a name that opens it afresh, unless it has been read from
    // already (the data start where the reading stopped) or that name does
    // not open.
    if (::lseek(standard_input, 0, SEEK_CUR) == 0) {
      const std::variant<bool, SourceFailure> in_place = readable_in_place(standard_input);
      if (const auto* failure = std::get_if<SourceFailure>(&in_place)) return *failure;
      std::string path = "/proc/self/fd/" + std::to_string(standard_input);
      if (std::get<bool>(in_place) && Descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC)).get() >= 0) {
        return DataSource(std::move(path));
      }
    }
    return from_copy(keep_copy(standard_input));
  }

  std::string path(name);
  struct stat info {};
  // A NUL would cut the name short and name another file; the converter
  // reports a name that is no file itself.
  if (name.find('\0') != std::string_view::npos || ::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
    return DataSource(std::move(path));
  }
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0) return DataSource(std::move(path));
  const std::variant<bool, SourceFailure> in_place = readable_in_place(file.get());
  if (const auto* failure = std::get_if<SourceFailure>(&in_place)) return *failure;
  if (std::get<bool>(in_place)) return DataSource(std::move(path));
  return from_copy(keep_copy(file.get()));
}

std::optional<std::string> looks_compressed_or_binary(std::string_view first_bytes) {
  struct Magic {
    std::string_view bytes;
    std::string_view kind;
  };
  static constexpr Magic kMagics[] = {
      {{"\x1f\x8b", 2}, "gzip-compressed"},
      {{"\xfd" "7zXZ\0", 6}, "xz-compressed"},
      {"BZh", "bzip2-compressed"},
      {"\x28\xb5\x2f\xfd", "zstd-compressed"},
      {"PK\x03\x04", "a zip archive"},
  };
  for (const Magic& magic : kMagics) {
    if (first_bytes.starts_with(magic.bytes)) return std::string(magic.kind);
  }
  if (first_bytes.substr(0, kHintBytes).find('\0') != std::string_view::npos) return "binary (NUL bytes)";
  return std::nullopt;
}

}  // namespace korvan::textio
