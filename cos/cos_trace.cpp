// The process's trace instance, its default back end and the exported
// plain functions. The current-instance pointer is set only while tracing
// is active and enabled; the instance itself lives until deleteInstance()
// or process exit (a static object's destructor deletes it, which flushes
// the ring buffer into the trace file).

#include <new>

#include "cos_memmgr.hpp"
#include "cos_trace.hpp"

CosClTraceInstance* gs_pclCosTraceInstance = nullptr;
CosClTraceInstance* CosClTraceInstance::cv_pclSingletonInstance = nullptr;

namespace {

// Deletes the instance at process exit.
class CosClTraceAutomaticInstanceDestructor {
 public:
  ~CosClTraceAutomaticInstanceDestructor() { CosClTraceInstance::deleteInstance(); }
};
CosClTraceAutomaticInstanceDestructor gs_clTraceAutomaticDestructor;

}  // namespace

CosClTraceInstance* CosClTraceInstance::create(char const* key,
                                               char const* instanceName,
                                               bool controller) {
  if (cv_pclSingletonInstance != nullptr) return cv_pclSingletonInstance;
  void* p = CosClMemoryManager::allocate((unsigned)sizeof(CosClTraceInstance));
  try {
    cv_pclSingletonInstance =
        new (p) CosClTraceInstance(key, instanceName, controller);
  } catch (...) {
    CosClMemoryManager::free(p);
    throw;
  }
  return cv_pclSingletonInstance;
}

CosClTraceInstance* CosClTraceInstance::createInstance(
    char const* key, char const* instanceName) {
  return create(key, instanceName, false);
}

CosClTraceInstance* CosClTraceInstance::createControllerInstance(
    char const* key, char const* instanceName) {
  return create(key, instanceName, true);
}

void CosClTraceInstance::deleteInstance() {
  CosClTraceInstance* instance = cv_pclSingletonInstance;
  if (instance == nullptr) return;
  cv_pclSingletonInstance = nullptr;
  instance->~CosClTraceInstance();
  CosClMemoryManager::free(instance);
}

CosClTraceInstance::CosClTraceInstance(char const* key,
                                       char const* instanceName,
                                       bool controller)
    : iv_pclEnvironment(nullptr), iv_pfuDump(&dumpImp), iv_pvContext(this),
      iv_iNesting(0) {
  void* p =
      CosClMemoryManager::allocate((unsigned)sizeof(CosClTraceEnvironment));
  try {
    iv_pclEnvironment = new (p) CosClTraceEnvironment(key, instanceName,
                                                      controller);
  } catch (...) {
    CosClMemoryManager::free(p);
    throw;
  }
  enable();
}

CosClTraceInstance::~CosClTraceInstance() {
  disable();
  iv_pclEnvironment->~CosClTraceEnvironment();
  CosClMemoryManager::free(iv_pclEnvironment);
}

bool CosClTraceInstance::enable() {
  if (iv_pclEnvironment->isActive()) gs_pclCosTraceInstance = this;
  return iv_pclEnvironment->isActive();
}

void CosClTraceInstance::disable() {
  flush();
  if (gs_pclCosTraceInstance == this) gs_pclCosTraceInstance = nullptr;
}

void CosClTraceInstance::flush() {
  if (iv_pclEnvironment->isActive()) iv_pclEnvironment->flush();
}

void CosClTraceInstance::registerUserCallback(CosPfuTraceDump function,
                                              void* context) {
  iv_pfuDump = function;
  iv_pvContext = context;
}

void CosClTraceInstance::dumpImp(void* context, CosEnTraceDetail detail,
                                 uint16_t componentId, CosEnTraceDataType type,
                                 char const* functionText,
                                 char const* messageText, void const* data,
                                 uint32_t length) {
  CosClTraceInstance* self = static_cast<CosClTraceInstance*>(context);
  CosClTraceEnvironment& env = *self->iv_pclEnvironment;
  if (!env.getSettings().filter().passes((uint32_t)detail,
                                         (uint8_t)componentId))
    return;
  CosClTraceEntry entry(env, detail, componentId, type, functionText,
                        messageText, data, length);
  env.add(entry);
}

void CosClTraceInstance::dumpFunction(CosEnTraceDetail detail,
                                      uint16_t componentId,
                                      CosEnTraceDataType type,
                                      char const* functionText) {
  if (type == CosEnTraceDataType::FUNCTION_ENTRY) ++iv_iNesting;
  else --iv_iNesting;
  if (detail == CosEnTraceDetail::LOW) detail = CosEnTraceDetail::OFF;
  int32_t level = iv_iNesting;
  iv_pfuDump(iv_pvContext, detail, componentId, type, functionText, "",
             &level, (uint32_t)sizeof level);
}

// ---------------------------------------------------------------------------
// Plain functions.

extern "C" CosClTraceInstance* CosClTraceInstance_getInstance() {
  return gs_pclCosTraceInstance;
}

void cosTraceDump(CosEnTraceDetail detail, uint16_t componentId,
                  CosEnTraceDataType type, char const* functionText,
                  char const* messageText, void const* data, uint32_t length) {
  CosClTraceInstance* instance = gs_pclCosTraceInstance;
  if (instance == nullptr) return;
  if (type == CosEnTraceDataType::FUNCTION_ENTRY ||
      type == CosEnTraceDataType::FUNCTION_EXIT)
    instance->dumpFunction(detail, componentId, type, functionText);
  else
    instance->dump(detail, componentId, type, functionText, messageText, data,
                   length);
}

void cosTraceFlush() {
  if (gs_pclCosTraceInstance != nullptr) gs_pclCosTraceInstance->flush();
}

bool cosTraceIsEnabled() { return gs_pclCosTraceInstance != nullptr; }

CosClTraceInstance* cosTraceCreateInstance(char const* key,
                                           char const* instanceName) {
  return CosClTraceInstance::createInstance(key, instanceName);
}

void cosTraceDeleteInstance() { CosClTraceInstance::deleteInstance(); }
