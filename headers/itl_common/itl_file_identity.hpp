// itl_file_identity.hpp: what tells one version of a file from another.
#ifndef ITL_FILE_IDENTITY_HPP
#define ITL_FILE_IDENTITY_HPP

#include <cstdint>

// What tells one version of a file from another: device, inode, size and
// modification time (nanoseconds); all zero when the file is missing. A
// commit replaces a file by renaming a new one over it, so a reader that
// kept the identity of what it read sees that the file changed (the size
// and time guard against an inode number used again).
struct ItlStFileIdentity {
  uint64_t device = 0, inode = 0, size = 0, modified = 0;
  bool operator==(ItlStFileIdentity const& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified == o.modified;
  }
  bool operator!=(ItlStFileIdentity const& o) const { return !(*this == o); }
};
ItlStFileIdentity itlFileIdentity(char const* path);

#endif  // ITL_FILE_IDENTITY_HPP
