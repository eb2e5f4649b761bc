// Shared libraries: finding and loading (CosClDllFile), procedure lookup
// (CosClDllProcLoaderFile) and the plain cosDllProcLoader* functions.

#include "cos_dll.hpp"

#include <dlfcn.h>

#include <new>

#include "cos_memmgr.hpp"

CosClDllFile::CosClDllFile(CosClFilename const& name)
    : CosClExeFile(name, getDefaultFileType(), false,
                   getSystemPathEnvironmentVariable()),
      m_pHandle(nullptr) {
  load();
  if (m_pHandle != nullptr || isExistent() || name.hasExtension() ||
      !m_clName.hasExtension())
    return;
  m_clName.setNewExtension("");
  if (!m_clName.hasPath())
    determinePath(false, getSystemPathEnvironmentVariable());
  load();
}

CosClDllFile::~CosClDllFile() {
  if (m_pHandle != nullptr) dlclose(m_pHandle);
  m_pHandle = nullptr;
}

void CosClDllFile::load() {
  if (m_pHandle != nullptr) dlclose(m_pHandle);
  m_pHandle = nullptr;
  if (m_clName.isTooLong()) return;  // a cut name may load another library
  m_pHandle = dlopen(m_clName.getAsCString(), RTLD_NOW);
}

CosClDllProcLoaderFile::~CosClDllProcLoaderFile() = default;

void* CosClDllProcLoaderFile::getProcedure(char const* name) const {
  if (m_pHandle == nullptr || name == nullptr) return nullptr;
  return dlsym(m_pHandle, name);
}

void* cosDllProcLoaderOpen(char const* name) {
  CosClFilename filename(name);
  void* memory = CosClMemoryManager::allocate(sizeof(CosClDllProcLoaderFile));
  auto* loader = new (memory) CosClDllProcLoaderFile(filename);
  if (loader->isLoaded()) return loader;
  loader->~CosClDllProcLoaderFile();
  CosClMemoryManager::free(memory);
  return nullptr;
}

void* cosDllProcLoaderGetProcedure(void* handle, char const* name) {
  if (handle == nullptr) return nullptr;
  return static_cast<CosClDllProcLoaderFile*>(handle)->getProcedure(name);
}

void cosDllProcLoaderClose(void* handle) {
  if (handle == nullptr) return;
  auto* loader = static_cast<CosClDllProcLoaderFile*>(handle);
  loader->~CosClDllProcLoaderFile();
  CosClMemoryManager::free(loader);
}
