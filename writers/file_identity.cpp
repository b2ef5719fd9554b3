// File identities from stat(), which follows every link on the way.
#include "writers/file_identity.h"

#include <array>
#include <cerrno>
#include <climits>

#include <sys/stat.h>
#include <unistd.h>

namespace korvan::writers {
namespace {

// As many links as the system follows before it gives up (ELOOP).
constexpr int kMaxLinks = 40;

std::optional<FileIdentity> identity_of(const struct stat& info) {
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino, {}};
}

}  // namespace

std::string directory_of(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string final_name_of(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string final_target(const std::string& name) {
  std::string path = name;
  for (int followed = 0; followed < kMaxLinks; ++followed) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::array<char, PATH_MAX> link{};
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) return path;
    const std::string_view to(link.data(), static_cast<std::size_t>(length));
    path = to.front() == '/' ? std::string(to) : directory_of(path) + "/" + std::string(to);
  }
  return path;
}

std::optional<FileIdentity> identity_of_existing(const std::string& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) != 0) return std::nullopt;
  return identity_of(info);
}

std::optional<FileIdentity> identity_of_output(const std::string& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0) return identity_of(info);
  if (errno != ENOENT) return std::nullopt;
  const std::string target = final_target(name);
  if (::stat(directory_of(target).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino, final_name_of(target)};
}

std::optional<FileIdentity> identity_of_descriptor(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::nullopt;
  return identity_of(info);
}

}  // namespace korvan::writers
