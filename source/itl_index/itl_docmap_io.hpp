// itl_docmap_io.hpp: whole reads and writes at an offset for the map
// files (retrying on EINTR and partial transfers).
#ifndef ITL_DOCMAP_IO_HPP
#define ITL_DOCMAP_IO_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

// Reads up to `size` bytes at `offset`: the bytes read (fewer only at the
// end of the file), or -1 with errno on failure.
inline long long itlDocMapReadAt(int fd, void* buffer, size_t size,
                                 int64_t offset) {
  size_t done = 0;
  char* p = static_cast<char*>(buffer);
  while (done < size) {
    ssize_t n = pread64(fd, p + done, size - done, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<long long>(done);
}

// Writes `size` bytes at `offset` whole; false with errno on failure.
inline bool itlDocMapWriteAt(int fd, void const* buffer, size_t size,
                             int64_t offset) {
  size_t done = 0;
  char const* p = static_cast<char const*>(buffer);
  while (done < size) {
    ssize_t n = pwrite64(fd, p + done, size - done, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Size of an open file; -1 on failure.
inline long long itlDocMapFileSize(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

#endif  // ITL_DOCMAP_IO_HPP
