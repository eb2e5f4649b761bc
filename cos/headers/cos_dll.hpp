// cos_dll.hpp: shared libraries loaded at run time.
//
// CosClDllFile finds a library by name (default extension ".so", the
// directories of LD_LIBRARY_PATH as they are set now) and loads it with
// dlopen(RTLD_NOW); the destructor unloads it. CosClDllProcLoaderFile adds
// the lookup of procedures by name. The cosDllProcLoader* functions wrap it
// for callers that hold only an opaque handle.
//
// Nothing here throws except the memory manager's out-of-memory exception
// in cosDllProcLoaderOpen. A library that cannot be loaded leaves the
// handle null: callers test isLoaded().
#ifndef COS_DLL_HPP
#define COS_DLL_HPP

#include "cos_process.hpp"

class CosClDllFile : public CosClExeFile {
 public:
  // Finds and loads the library:
  //   1. ".so" is appended when `name` has no extension; a name without a
  //      directory is searched in LD_LIBRARY_PATH (first directory wins;
  //      not found: the bare name stays);
  //   2. load();
  //   3. when nothing was loaded, no file of that name exists, `name` had
  //      no extension and ".so" was added: the extension is removed, a
  //      name without directory is searched again, and load() runs again.
  // A name left without a directory goes to dlopen unchanged, so the
  // dynamic loader's own search rules apply to it.
  explicit CosClDllFile(CosClFilename const& name);
  CosClDllFile(CosClDllFile const&) = delete;
  CosClDllFile& operator=(CosClDllFile const&) = delete;
  // Unloads the library when one is loaded.
  ~CosClDllFile() override;

  // dlopen(name, RTLD_NOW); the result (null on failure) becomes the
  // handle. A handle held before is closed first.
  void load();
  bool isLoaded() const { return m_pHandle != nullptr; }
  void* getHandle() const { return m_pHandle; }

  static char const* getSystemPathEnvironmentVariable() {
    return "LD_LIBRARY_PATH";
  }
  static char const* getDefaultFileType() { return ".so"; }

 protected:
  void* m_pHandle;  // dlopen handle, null when not loaded
};

class CosClDllProcLoaderFile : public CosClDllFile {
 public:
  explicit CosClDllProcLoaderFile(CosClFilename const& name)
      : CosClDllFile(name) {}
  ~CosClDllProcLoaderFile() override;

  // The address of procedure `name`; null when no library is loaded or it
  // has no such symbol.
  void* getProcedure(char const* name) const;
};

extern "C" {

// Loads library `name` (as CosClDllFile does). Returns an opaque handle, or
// null when it could not be loaded (nothing is then kept). Free with
// cosDllProcLoaderClose. Throws CosClExceptionFatal when memory is
// exhausted.
void* cosDllProcLoaderOpen(char const* name);
// getProcedure of the handle's library; null for a null handle.
void* cosDllProcLoaderGetProcedure(void* handle, char const* name);
// Unloads the library and frees the handle; null is ignored.
void cosDllProcLoaderClose(void* handle);

}  // extern "C"

#endif  // COS_DLL_HPP
