// itl_api_library.cpp: the library's identity (itlGetInfo), its trace
// switches and the caller's memory callbacks.
//
// The trace is the process's one trace instance under the key
// "Zorvath_Tavrix_VOZ" (instance "vqx"). A caller's trace callback has plain
// integer arguments; the library registers its own adapter with the trace
// and forwards each record to it.
//
// Memory: a caller's memory handler may come without a reallocate function.
// Blocks must still grow, so the library then installs its own three
// functions over the caller's allocate and free: they remember the size of
// each block they hand out and grow a block by allocate, copy and free. A
// block the library did not hand out this way (made before the
// registration) cannot grow; realloc fails for it as for exhausted memory.
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "calls/voz_message.hpp"
#include "itl_api_frame.hpp"
#include "itl_api_library.h"

namespace {

char const kTraceKey[] = "Zorvath_Tavrix_VOZ";
char const kTraceInstance[] = "vqx";

char const kLibraryName[] = "Zorvath ITL API (PFX:vqx)";
char const kVersion[] = "20";
char const kLevel[] = "itlR3-86a";
char const kBuildDate[] = "May  4 2010";
char const kIdentity[] = "20-itlR3-86a-May  4 2010";
char const kNotice[] =
    "Zorvath ITL API (PFX:vqx), text index library.\n"
    "This library and its documentation are provided as they are, without\n"
    "warranty of any kind. Use, copying and distribution are subject to the\n"
    "licence terms under which the library was delivered to you.\n";
char const kCredits[] =
    "Zorvath ITL API (PFX:vqx)\n"
    "  indexing engine, text and document layers, search core and API\n"
    "  built on ICU for Unicode and on Expat for XML documents.\n"
    "  Thanks to everyone who wrote, tested and used it.\n";

// ---------------------------------------------------------------------------
// Trace forwarding.

struct TraceForward {
  ItlTyTraceCallback callback;
  void* user;
};
TraceForward gs_stTraceForward = {nullptr, nullptr};

void traceAdapter(void* context, CosEnTraceDetail detail, uint16_t component,
                  CosEnTraceDataType type, char const* function,
                  char const* label, void const* data, uint32_t length) {
  TraceForward const* forward = static_cast<TraceForward const*>(context);
  if (forward->callback == nullptr) return;
  forward->callback(forward->user, static_cast<uint32_t>(detail), component,
                    static_cast<uint32_t>(type), function, label, data,
                    length);
}

CosClTraceInstance* traceInstance() {
  return CosClTraceInstance::createInstance(kTraceKey, kTraceInstance);
}

// ---------------------------------------------------------------------------
// Growing blocks of a caller's memory handler without reallocate.

struct SizedBlocks {
  std::mutex lock;
  std::unordered_map<void*, unsigned int> sizes;
  ItlTyAllocateCallback allocate = nullptr;
  ItlTyFreeCallback free = nullptr;
};

SizedBlocks& sizedBlocks() {
  static SizedBlocks* blocks = new SizedBlocks;  // lives to process exit
  return *blocks;
}

void* sizedAllocate(unsigned int size) {
  SizedBlocks& blocks = sizedBlocks();
  void* block = blocks.allocate(size);
  if (block == nullptr) return nullptr;
  try {
    std::lock_guard<std::mutex> guard(blocks.lock);
    blocks.sizes[block] = size;
  } catch (...) {
    blocks.free(block);
    return nullptr;
  }
  return block;
}

void sizedFree(void* block) {
  SizedBlocks& blocks = sizedBlocks();
  {
    std::lock_guard<std::mutex> guard(blocks.lock);
    blocks.sizes.erase(block);
  }
  blocks.free(block);
}

void* sizedReallocate(void* block, unsigned int size) {
  if (block == nullptr) return sizedAllocate(size);
  SizedBlocks& blocks = sizedBlocks();
  unsigned int oldSize;
  {
    std::lock_guard<std::mutex> guard(blocks.lock);
    auto found = blocks.sizes.find(block);
    if (found == blocks.sizes.end()) return nullptr;
    oldSize = found->second;
  }
  void* grown = sizedAllocate(size);
  if (grown == nullptr) return nullptr;  // the old block stays valid
  std::memcpy(grown, block, oldSize < size ? oldSize : size);
  sizedFree(block);
  return grown;
}

}  // namespace

char const* itlGetInfo(ItlEnInfoType type) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
  trace.int32("ItlEnInfoType", type);
  switch (type) {
    case ItlEnInfoType_LibraryName: return kLibraryName;
    case ItlEnInfoType_Version: return kVersion;
    case ItlEnInfoType_Level: return kLevel;
    case ItlEnInfoType_BuildDate: return kBuildDate;
    case ItlEnInfoType_Notice: return kNotice;
    case ItlEnInfoType_EngineType: return itlGetEngineType();
    case ItlEnInfoType_Credits: return kCredits;
  }
  return nullptr;
}

ItlEnReturnCode itlTraceEnable(ItlTyErrorInfoHandle handle) {
  if (handle == nullptr) {
    ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
    return ItlEnReturnCode_Error_Handle;
  }
  ItlClErrorInfo& errorInfo = *itlApiErrorInfo(handle);
  itlApiReset(errorInfo);
  // The instance first, so that this function's entry is the first record
  // of a newly enabled trace.
  CosClTraceInstance* instance = nullptr;
  ItlEnReturnCode rc = itlApiGuarded(
      errorInfo, ITL_API_POS("itl_api_library"), [&] {
        instance = traceInstance();
        if (!instance->usesCosBackEnd()) instance->activate();
        instance->enable();
      });
  ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
  if (rc != ItlEnReturnCode_Success) return rc;
  if (gs_pclCosTraceInstance != nullptr)
    cosTraceDump(CosEnTraceDetail::LOW, ITL_API_TRACE_COMPONENT,
                 CosEnTraceDataType::CSTRING, ITL_API_POS("itl_api_library"),
                 kLibraryName, kIdentity,
                 static_cast<uint32_t>(sizeof kIdentity - 1));
  return errorInfo.getReturnCode();
}

ItlEnReturnCode itlTraceDisable(ItlTyErrorInfoHandle handle) {
  {
    ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
    if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
    itlApiReset(*itlApiErrorInfo(handle));
  }  // the exit record is written before the trace goes off
  ItlClErrorInfo& errorInfo = *itlApiErrorInfo(handle);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_library"),
                       [&] { traceInstance()->disable(); });
}

ItlEnReturnCode itlTraceRegisterCallback(ItlTyTraceCallback callback,
                                         void* user,
                                         ItlTyErrorInfoHandle handle) {
  if (handle == nullptr) {
    ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
    return ItlEnReturnCode_Error_Handle;
  }
  ItlClErrorInfo& errorInfo = *itlApiErrorInfo(handle);
  itlApiReset(errorInfo);
  if (callback == nullptr) {
    ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_library"),
                             ItlEnReasonCode_Invalid_argument);
  }
  ItlEnReturnCode rc = itlApiGuarded(
      errorInfo, ITL_API_POS("itl_api_library"), [&] {
        CosClTraceInstance* instance = traceInstance();
        gs_stTraceForward.callback = callback;
        gs_stTraceForward.user = user;
        instance->registerUserCallback(&traceAdapter, &gs_stTraceForward);
      });
  // Built after the registration: its records already go to the callback.
  ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
  return rc;
}

ItlEnReturnCode itlMemoryHandlerRegisterCallback(
    ItlTyAllocateCallback allocate, ItlTyReallocateCallback reallocate,
    ItlTyFreeCallback deallocate, ItlTyErrorInfoHandle handle) {
  if (handle == nullptr) {
    ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
    return ItlEnReturnCode_Error_Handle;
  }
  ItlClErrorInfo& errorInfo = *itlApiErrorInfo(handle);
  itlApiReset(errorInfo);
  if (allocate == nullptr || deallocate == nullptr) {
    ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_library"),
                             ItlEnReasonCode_Invalid_argument);
  }
  if (reallocate != nullptr) {
    CosClMemoryManager::setNewMemoryManager(allocate, reallocate, deallocate);
  } else {
    SizedBlocks& blocks = sizedBlocks();
    {
      std::lock_guard<std::mutex> guard(blocks.lock);
      blocks.sizes.clear();
      blocks.allocate = allocate;
      blocks.free = deallocate;
    }
    CosClMemoryManager::setNewMemoryManager(&sizedAllocate, &sizedReallocate,
                                            &sizedFree);
  }
  // Built after the installation: it runs under the new allocator.
  ItlClApiTrace trace(ITL_API_POS("itl_api_library"));
  bool userDefined = CosClMemoryManager::hasUserDefinedMgr();
  trace.boolean("User-defined memmgr", userDefined);
  return errorInfo.getReturnCode();
}
