// itl_file_util.cpp: the file helpers of itl_file_util.hpp.
#include "itl_file_util.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cos_memmgr.hpp"

namespace {
ItlFileOpTestHook gs_fileOpHook = nullptr;
}  // namespace

void itlSetFileOpTestHook(ItlFileOpTestHook hook) { gs_fileOpHook = hook; }

bool itlFileOpRefused(char const* operation, char const* path) {
  if (gs_fileOpHook == nullptr || gs_fileOpHook(operation, path) == 0)
    return false;
  errno = EIO;
  return true;
}

ItlClByteBuffer::~ItlClByteBuffer() { CosClMemoryManager::free(iv_pucData); }

uint8_t* ItlClByteBuffer::resize(uint32_t size) {
  CosClMemoryManager::free(iv_pucData);
  iv_pucData = nullptr;
  iv_uiSize = 0;
  iv_pucData = static_cast<uint8_t*>(
      CosClMemoryManager::allocate(size != 0 ? size : 1));
  iv_uiSize = size;
  return iv_pucData;
}

bool ItlClStdioFile::syncAndClose() {
  FILE* file = iv_pFile;
  iv_pFile = nullptr;
  bool ok = std::fflush(file) == 0 && !itlFileOpRefused("fsync", "") &&
            fsync(fileno(file)) == 0;
  return std::fclose(file) == 0 && ok;
}

bool itlReadWholeFile(char const* name, ItlClByteBuffer& content) {
  ItlClStdioFile file(name, "rb");
  if (file.get() == nullptr) return false;
  struct stat st;
  if (fstat(fileno(file.get()), &st) != 0 || st.st_size < 0 ||
      static_cast<uint64_t>(st.st_size) > UINT32_MAX - 1)
    return false;
  uint32_t size = static_cast<uint32_t>(st.st_size);
  uint8_t* data = content.resize(size);
  if (size != 0 && std::fread(data, 1, size, file.get()) != size) return false;
  return std::fgetc(file.get()) == EOF;  // grew meanwhile: not whole
}

bool itlSyncParentDirectory(char const* path) {
  char const* slash = std::strrchr(path, '/');
  char directory[4097];
  if (slash == nullptr) {
    std::strcpy(directory, ".");
  } else {
    size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
    if (length >= sizeof directory) return false;
    std::memcpy(directory, path, length);
    directory[length] = '\0';
  }
  if (itlFileOpRefused("fsync", directory)) return false;
  int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

namespace {

bool copyBytes(int in, int out) {
  char buffer[65536];
  for (;;) {
    ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
  }
}

}  // namespace

bool itlCopyFileSynced(char const* from, char const* to, unsigned mode) {
  if (itlFileOpRefused("copy", to)) return false;
  int in = open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                 static_cast<mode_t>(mode));
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = copyBytes(in, out) && fchmod(out, static_cast<mode_t>(mode)) == 0 &&
            fsync(out) == 0;
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok) unlink(to);
  return ok;
}

ItlStFileIdentity itlFileIdentity(char const* path) {
  ItlStFileIdentity identity;
  struct stat sb;
  if (path == nullptr || stat(path, &sb) != 0) return identity;
  identity.device = static_cast<uint64_t>(sb.st_dev);
  identity.inode = static_cast<uint64_t>(sb.st_ino);
  identity.size = static_cast<uint64_t>(sb.st_size);
  identity.modified = static_cast<uint64_t>(sb.st_mtim.tv_sec) * 1000000000u +
                      static_cast<uint64_t>(sb.st_mtim.tv_nsec);
  return identity;
}
