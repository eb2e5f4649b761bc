// itl_file_util.hpp: small file helpers of the common services: an owned
// byte buffer from the cos memory manager, a closing FILE* holder, whole
// file reads, fsync of a directory and a copy that reaches the disk.
// None of them throws except through the memory manager (out of memory);
// failures are reported as false.
#ifndef ITL_FILE_UTIL_HPP
#define ITL_FILE_UTIL_HPP

#include <cstdint>
#include <cstdio>

#include "itl_file_identity.hpp"

// A buffer allocated through CosClMemoryManager, freed with the holder.
class ItlClByteBuffer {
 public:
  ItlClByteBuffer() : iv_pucData(nullptr), iv_uiSize(0) {}
  ~ItlClByteBuffer();
  ItlClByteBuffer(ItlClByteBuffer const&) = delete;
  ItlClByteBuffer& operator=(ItlClByteBuffer const&) = delete;

  // Replaces the content by `size` uninitialised bytes.
  uint8_t* resize(uint32_t size);
  uint8_t* data() const { return iv_pucData; }
  uint32_t size() const { return iv_uiSize; }

 private:
  uint8_t* iv_pucData;
  uint32_t iv_uiSize;
};

// A FILE* closed with the holder (unless released).
class ItlClStdioFile {
 public:
  ItlClStdioFile(char const* name, char const* mode)
      : iv_pFile(std::fopen(name, mode)) {}
  ~ItlClStdioFile() {
    if (iv_pFile != nullptr) std::fclose(iv_pFile);
  }
  ItlClStdioFile(ItlClStdioFile const&) = delete;
  ItlClStdioFile& operator=(ItlClStdioFile const&) = delete;

  FILE* get() const { return iv_pFile; }
  // Flushes, fsyncs and closes; false when any step fails.
  bool syncAndClose();

 private:
  FILE* iv_pFile;
};

// The whole content of `name` (at most 4 GB - 1). False when it cannot be
// opened or read.
bool itlReadWholeFile(char const* name, ItlClByteBuffer& content);
// fsync of the directory that holds `path`; false on failure.
bool itlSyncParentDirectory(char const* path);
// Copies `from` to `to` (created with `mode`, truncated) and fsyncs it;
// a failed copy removes `to`. False on failure.
bool itlCopyFileSynced(char const* from, char const* to, unsigned mode);


// Test hook: asked before every file operation of a commit (write of a new
// file, fsync, copy, rename, unlink, directory fsync) with a short name of
// the operation and its path; a non-zero answer makes the operation fail
// (errno EIO). Null: none. For crash and failure tests only.
using ItlFileOpTestHook = int (*)(char const* operation, char const* path);
void itlSetFileOpTestHook(ItlFileOpTestHook hook);
// True (errno EIO) when the test hook refuses the operation.
bool itlFileOpRefused(char const* operation, char const* path);

#endif  // ITL_FILE_UTIL_HPP
