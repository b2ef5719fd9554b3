// Opening the data and reading its text: descriptors read as they are, gzip
// members inflated one after another as zcat does, the first bytes kept for
// hints and looked at for a binary start.
#include "text/data_source.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace korvan::text {
namespace {

constexpr std::array<unsigned char, 2> kGzipMagic = {0x1f, 0x8b};
constexpr char kCtrlZ = 26;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Compressed bytes are read in blocks this large: few calls of the system
// and of zlib.
constexpr std::size_t kCompressedBlock = std::size_t{1} << 20;

bool starts_with_gzip_magic(std::string_view bytes) {
  return bytes.size() >= kGzipMagic.size() && static_cast<unsigned char>(bytes[0]) == kGzipMagic[0] &&
         static_cast<unsigned char>(bytes[1]) == kGzipMagic[1];
}

// Bytes already read from a source, put back in front of the rest of it.
class PrefixedBytes final : public ByteSource {
 public:
  PrefixedBytes(std::string prefix, std::unique_ptr<ByteSource> rest)
      : prefix_(std::move(prefix)), rest_(std::move(rest)) {}
  std::size_t read(char* into, std::size_t room) override {
    if (at_ < prefix_.size()) {
      const std::size_t n = std::min(room, prefix_.size() - at_);
      std::memcpy(into, prefix_.data() + at_, n);
      at_ += n;
      return n;
    }
    return rest_->read(into, room);
  }
  bool failed() const override { return rest_->failed(); }
  std::string failure_text() const override { return rest_->failure_text(); }

 private:
  std::string prefix_;
  std::size_t at_ = 0;
  std::unique_ptr<ByteSource> rest_;
};

std::string system_text(int error) { return std::strerror(error); }

// The first bytes, which say whether the data are compressed.
std::string read_magic(ByteSource& raw) {
  std::string magic(kGzipMagic.size(), '\0');
  std::size_t have = 0;
  while (have < magic.size()) {
    const std::size_t got = raw.read(magic.data() + have, magic.size() - have);
    if (got == 0) break;
    have += got;
  }
  magic.resize(have);
  return magic;
}

}  // namespace

// The members of a gzip stream inflated one after another. After the last
// one only zero bytes may follow, as a tape's last block leaves them
// (counted as padding); anything else is no gzip file a member of which may
// be taken for the whole.
class GzipBytes final : public ByteSource {
 public:
  explicit GzipBytes(std::unique_ptr<ByteSource> raw)
      : raw_(std::move(raw)), in_(std::make_unique<unsigned char[]>(kCompressedBlock)) {
    // 16 + window bits: gzip members only, with their headers and checks.
    if (::inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK) failure_ = "out of memory";
    initialised_ = !failure_;
  }
  ~GzipBytes() override {
    if (initialised_) ::inflateEnd(&z_);
  }
  GzipBytes(const GzipBytes&) = delete;
  GzipBytes& operator=(const GzipBytes&) = delete;

  std::size_t read(char* into, std::size_t room) override {
    z_.next_out = reinterpret_cast<Bytef*>(into);
    z_.avail_out = static_cast<uInt>(std::min<std::size_t>(room, 1u << 30));
    const uInt offered = z_.avail_out;
    while (z_.avail_out == offered && !ended_ && !failure_) {
      if (z_.avail_in == 0 && !fill(0)) break;
      if (between_members_ && !next_member()) break;
      const int rc = ::inflate(&z_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        between_members_ = true;
        ++members_;
      } else if (rc == Z_MEM_ERROR) {
        failure_ = "out of memory";
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        // zlib says what is wrong ("invalid block type", "incorrect data check").
        failure_ = z_.msg != nullptr ? std::string("compressed data is corrupt (") + z_.msg + ")"
                                     : "compressed data is corrupt";
      }
    }
    return offered - z_.avail_out;
  }
  bool failed() const override { return failure_.has_value(); }
  std::string failure_text() const override { return failure_.value_or(std::string()); }
  std::uint64_t padding() const { return padding_; }

 private:
  // Reads more compressed bytes behind the `keep` not yet inflated; false at
  // the end of the input (or a failure, or a member cut short).
  bool fill(std::size_t keep) {
    // Before the first fill zlib has no input at all (next_in is null).
    if (keep > 0) std::memmove(in_.get(), z_.next_in, keep);
    const std::size_t got = raw_->read(reinterpret_cast<char*>(in_.get()) + keep, kCompressedBlock - keep);
    z_.next_in = in_.get();
    z_.avail_in = static_cast<uInt>(keep + got);
    if (got > 0) return true;
    if (raw_->failed()) {
      failure_ = raw_->failure_text();
    } else if (!between_members_) {
      failure_ = "compressed data is truncated";
    } else {
      ended_ = true;
    }
    return false;
  }

  // After a member: whether another one starts, its magic's bytes read.
  bool next_member() {
    while (z_.avail_in < kGzipMagic.size()) {
      const std::size_t left = z_.avail_in;
      if (!fill(left)) {
        // A byte or none left: padding, or what no member starts with.
        if (!failure_) {
          ended_ = false;
          z_.avail_in = static_cast<uInt>(left);
          pass_over_padding();
          ended_ = !failure_;
        }
        return false;
      }
    }
    if (z_.next_in[0] != kGzipMagic[0] || z_.next_in[1] != kGzipMagic[1]) {
      pass_over_padding();
      return false;
    }
    ::inflateReset(&z_);
    between_members_ = false;
    return true;
  }

  // What follows the last member: zero bytes to the end, or a failure.
  void pass_over_padding() {
    do {
      const Bytef* const begin = z_.next_in;
      const Bytef* const end = begin + z_.avail_in;
      if (std::find_if(begin, end, [](Bytef b) { return b != 0; }) != end) {
        failure_ = "compressed data is corrupt (unexpected bytes after member " + std::to_string(members_) + ")";
        return;
      }
      padding_ += z_.avail_in;
      z_.avail_in = 0;
    } while (fill(0));
  }

  std::unique_ptr<ByteSource> raw_;
  std::unique_ptr<unsigned char[]> in_;
  int members_ = 0;
  std::uint64_t padding_ = 0;
  z_stream z_{};
  bool initialised_ = false;
  bool between_members_ = false;
  bool ended_ = false;
  std::optional<std::string> failure_;
};


DataSource DataSource::open_file(std::string_view name) {
  if (name != "-") return open(name);
  DataSource source = open("./-");
  source.name_ = "-";
  return source;
}

DataSource DataSource::open(std::string_view name, int standard_input) {
  DataSource source;
  source.name_ = std::string(name);
  int fd = -1;
  bool owned = false;
  if (name == "-") {
    fd = standard_input;
  } else {
    const std::string path(name);
    struct stat info {};
    // A NUL would cut the name short and name another file.
    if (name.find('\0') != std::string_view::npos || ::stat(path.c_str(), &info) != 0) {
      source.state_ = State::missing;
      source.state_text_ = ::stat(path.c_str(), &info) == 0 ? "not found" : system_text(errno);
      return source;
    }
    if (S_ISDIR(info.st_mode)) {
      source.state_ = State::unreadable;
      source.state_text_ = system_text(EISDIR);
      return source;
    }
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      source.state_ = State::unreadable;
      source.state_text_ = system_text(errno);
      return source;
    }
    owned = true;
  }
  struct stat info {};
  source.regular_ = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  auto raw = std::make_unique<DescriptorBytes>(fd, owned);
  std::string magic = read_magic(*raw);
  if (source.regular_ && !starts_with_gzip_magic(magic)) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at >= 0 && info.st_size > at) source.size_hint_ = static_cast<std::uint64_t>(info.st_size - at) + magic.size();
  }
  source.take(std::move(magic), std::move(raw));
  return source;
}

DataSource DataSource::from_descriptor(std::string name, int fd, std::uint64_t offset) {
  DataSource source;
  source.name_ = std::move(name);
  struct stat info {};
  source.regular_ = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  auto raw = std::make_unique<PositionedBytes>(fd, offset);
  std::string magic = read_magic(*raw);
  if (source.regular_ && !starts_with_gzip_magic(magic) && static_cast<std::uint64_t>(info.st_size) > offset) {
    source.size_hint_ = static_cast<std::uint64_t>(info.st_size) - offset;
  }
  source.take(std::move(magic), std::move(raw));
  return source;
}

DataSource DataSource::from_stream(std::string name, std::unique_ptr<ByteSource> bytes) {
  DataSource source;
  source.name_ = std::move(name);
  std::string magic = read_magic(*bytes);
  source.take(std::move(magic), std::move(bytes));
  return source;
}

void DataSource::take(std::string magic, std::unique_ptr<ByteSource> raw) {
  compressed_ = starts_with_gzip_magic(magic);
  std::unique_ptr<ByteSource> bytes = std::make_unique<PrefixedBytes>(std::move(magic), std::move(raw));
  if (compressed_) {
    auto gzip = std::make_unique<GzipBytes>(std::move(bytes));
    gzip_ = gzip.get();
    bytes = std::move(gzip);
  }
  bytes_ = std::move(bytes);
}

DataSource DataSource::from_bytes(std::string name, std::string bytes) {
  DataSource source;
  source.name_ = std::move(name);
  source.regular_ = true;
  source.size_hint_ = bytes.size();
  source.bytes_ = std::make_unique<MemoryBytes>(std::move(bytes));
  return source;
}

DataSource::DataSource(DataSource&&) noexcept = default;
DataSource& DataSource::operator=(DataSource&&) noexcept = default;
DataSource::~DataSource() = default;

std::size_t DataSource::read_raw(char* into, std::size_t room) {
  if (ended_ || failure_ || !bytes_) return 0;
  const std::size_t got = bytes_->read(into, room);
  if (got == 0) {
    if (bytes_->failed()) {
      failure_ = bytes_->failure_text();
    } else {
      ended_ = true;
    }
    return 0;
  }
  if (const void* z = std::memchr(into, kCtrlZ, got)) {
    ended_ = true;
    return static_cast<std::size_t>(static_cast<const char*>(z) - into);
  }
  return got;
}

// The first bytes are read at once: a byte-order mark is dropped, and data
// that are not a regular file are refused when they start binary, before
// anything reads them (an endless binary input would otherwise be read on).
void DataSource::start() {
  started_ = true;
  head_.resize(kHintBytes);
  std::size_t have = 0;
  while (have < head_.size()) {
    const std::size_t got = read_raw(head_.data() + have, head_.size() - have);
    if (got == 0) break;
    have += got;
  }
  head_.resize(have);
  if (head_.starts_with(kByteOrderMark)) head_.erase(0, kByteOrderMark.size());
  if (read_to_end_before_faults() && head_.find('\0') != std::string::npos) {
    failure_ = "the data look " + looks_compressed_or_binary(head_).value_or("binary") +
               ", not like a text file of soundings";
  }
}

std::size_t DataSource::read(char* into, std::size_t room) {
  if (!started_) start();
  if (failure_) return 0;
  if (head_delivered_ < head_.size()) {
    const std::size_t n = std::min(room, head_.size() - head_delivered_);
    std::memcpy(into, head_.data() + head_delivered_, n);
    head_delivered_ += n;
    return n;
  }
  return read_raw(into, room);
}

std::uint64_t DataSource::padding_bytes() const { return gzip_ != nullptr ? gzip_->padding() : 0; }

void DataSource::read_to_end() {
  std::string sink(kCompressedBlock, '\0');
  while (read(sink.data(), sink.size()) > 0) {
  }
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

}  // namespace korvan::text
