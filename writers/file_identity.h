// Which file a name or a descriptor stands for, whatever the name: the same
// device and inode for a file that exists (links, /proc/self/fd names and
// the file standard input is all come to it), the same directory and final
// name for one that does not exist yet ("out.svg" and "./out.svg"). Only
// regular files have one: what is written to a device, pipe or FIFO takes
// nothing away that could be read from it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace korvan::writers {

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;      // of the file; of its directory when `name` is set
  std::string name;     // the final name of a file that does not exist yet
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The regular file that `name` opens.
std::optional<FileIdentity> identity_of_existing(const std::string& name);
// The regular file that `name` opens, or the one that creating it would make.
std::optional<FileIdentity> identity_of_output(const std::string& name);
// The regular file open on the descriptor.
std::optional<FileIdentity> identity_of_descriptor(int fd);

// Where `name` leads once the symbolic links of its final name are followed
// (the directories on the way are the system's to follow): the file that an
// open of `name` reaches or would create.
std::string final_target(const std::string& name);

// The directory part of a path ("." for a bare name) and its final name.
std::string directory_of(std::string_view path);
std::string final_name_of(std::string_view path);

}  // namespace korvan::writers
