// Temporaries beside their file: an unnamed one (O_TMPFILE) where the file
// system has them, linked in through /proc/self/fd at the end; else one
// named ".NAME.XXXXXX", removed by the signal handlers should a signal end
// the run. Either is renamed over the file, which replaces it in one step.
#include "writers/output_file.h"

#include <array>
#include <cerrno>
#include <random>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "writers/file_identity.h"

namespace korvan::writers {
namespace {

// Tries at a free temporary name; each is one of 62^6.
constexpr int kNameAttempts = 100;

std::string random_suffix() {
  static constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string suffix(6, 'X');
  for (char& c : suffix) c = kLetters[random() % kLetters.size()];
  return suffix;
}

// Hidden, and plainly a part of NAME should one ever be left behind.
std::string temporary_name(const std::string& target) {
  return directory_of(target) + "/." + final_name_of(target) + "." + random_suffix();
}

std::string descriptor_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The temporary takes the owner, group and mode of the file it replaces.
// Owner before mode: a change of owner clears the set-user-ID bit.
bool take_over(int fd, const struct stat& replaced) {
  struct stat made {};
  if (::fstat(fd, &made) != 0) return false;
  if ((made.st_uid != replaced.st_uid || made.st_gid != replaced.st_gid) &&
      ::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
    return false;
  }
  return ::fchmod(fd, replaced.st_mode & 07777) == 0;
}

}  // namespace

std::optional<OutputFile> OutputFile::temporary_for(const std::string& target, const struct stat* replaced,
                                                    Temporary temporary) {
  const std::string directory = directory_of(target);
  OutputFile file(-1);
  if (temporary == Temporary::unnamed_first) {
    // The mode is the one a new file gets: 0666 less the umask.
    file.fd_ = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    // Without /proc the file could not be linked in at the end.
    if (file.fd_ >= 0 && ::access(descriptor_path(file.fd_).c_str(), F_OK) != 0) {
      ::close(std::exchange(file.fd_, -1));
    }
  }
  for (int attempt = 0; file.fd_ < 0 && attempt < kNameAttempts; ++attempt) {
    const std::string name = temporary_name(target);
    const SignalsHeld held;
    std::optional<RemovedOnSignal> removal = RemovedOnSignal::hold(name);
    if (!removal) return std::nullopt;
    file.fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.fd_ >= 0) {
      file.temporary_name_ = name;
      file.removal_ = std::move(removal);
    } else if (errno != EEXIST) {
      return std::nullopt;
    }
  }
  if (file.fd_ < 0) return std::nullopt;
  file.target_ = target;
  if (replaced != nullptr && !take_over(file.fd_, *replaced)) return std::nullopt;
  return file;
}

std::variant<OutputFile, int> open_output_file(const std::string& name, Temporary temporary) {
  const std::string target = final_target(name);
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0) {
    // The final target must be the file the name opens: a /proc/self/fd
    // name of a pipe or of a deleted file leads nowhere that takes a name.
    struct stat reached {};
    const bool replaceable = S_ISREG(info.st_mode) && info.st_nlink == 1 && ::stat(target.c_str(), &reached) == 0 &&
                             reached.st_dev == info.st_dev && reached.st_ino == info.st_ino;
    if (replaceable) {
      if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno;
      if (std::optional<OutputFile> file = OutputFile::temporary_for(target, &info, temporary)) {
        return std::move(*file);
      }
    }
  } else if (errno == ENOENT) {
    if (std::optional<OutputFile> file = OutputFile::temporary_for(target, nullptr, temporary)) {
      return std::move(*file);
    }
  }
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  return OutputFile(fd);
}

int cannot_open_for_writing(const std::string& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return EISDIR;
    return ::faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
  }
  if (errno != ENOENT || name.empty()) return errno;
  const std::string target = final_target(name);
  // "dir/" names a directory, which no open for writing makes.
  if (final_name_of(target).empty()) return EISDIR;
  const std::string directory = directory_of(target);
  if (::stat(directory.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  return ::faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

OutputFile::~OutputFile() {
  if (!temporary_name_.empty()) ::unlink(temporary_name_.c_str());
  if (fd_ >= 0) ::close(fd_);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      target_(std::move(other.target_)),
      temporary_name_(std::move(other.temporary_name_)),
      removal_(std::move(other.removal_)) {
  other.target_.clear();
  other.temporary_name_.clear();
  other.removal_.reset();
}

int OutputFile::put_in_place() {
  if (in_place()) return 0;
  const SignalsHeld held;
  // linkat() gives no name that is taken: the unnamed file first gets a
  // temporary name of its own, which the rename then replaces.
  for (int attempt = 0; temporary_name_.empty(); ++attempt) {
    if (attempt == kNameAttempts) return EEXIST;
    const std::string name = temporary_name(target_);
    std::optional<RemovedOnSignal> removal = RemovedOnSignal::hold(name);
    if (::linkat(AT_FDCWD, descriptor_path(fd_).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temporary_name_ = name;
      removal_ = std::move(removal);
    } else if (errno != EEXIST) {
      return errno;
    }
  }
  const int renamed = ::rename(temporary_name_.c_str(), target_.c_str()) == 0 ? 0 : errno;
  if (renamed != 0) ::unlink(temporary_name_.c_str());
  temporary_name_.clear();
  removal_.reset();
  target_.clear();
  return renamed;
}

}  // namespace korvan::writers
