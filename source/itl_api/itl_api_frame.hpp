// itl_api_frame.hpp: the frame every exported itl function is built on.
//
// An exported function runs, in this order:
//   1. its trace guard ItlClApiTrace (detail 3, component 3, the function
//      text "source/itl_api/<unit>:<line>"): entry record now, exit record
//      when it goes out of scope, both only while a trace is current;
//   2. one trace record per traced argument (before any check, so a call
//      with a null handle is traced too);
//   3. a null primary handle returns 16 and records nothing;
//   4. the error info's reset (itlApiReset: return code and warning count
//      to 0, and the context text emptied, so that what this call records
//      never carries the context lines of an earlier error);
//   5. a handle maker's output pointer: null records reason 1, else the
//      output is set to null at once;
//   6. argument checks, each recording return code 8, action Inform
//      (itlApiCheckFailed);
//   7. the work inside itlApiGuarded, which records whatever it throws
//      (step 8: ItlClException as it stands, CosClException mapped, any
//      other exception reason 7 with the handler's origin) and returns the
//      stored return code (9).
// Trace code only reads what it records: a call returns the same and leaves
// the same error info with the trace on or off.
//
// Update handles pass a rollback step to itlApiGuarded: it runs in each
// handler before the caught error is recorded (itlApiRollbackIsDue tells
// when the update must be marked).
#ifndef ITL_API_FRAME_HPP
#define ITL_API_FRAME_HPP

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "cos_memmgr.hpp"
#include "cos_trace.hpp"
#include "itl_api_base.h"
#include "itl_context.hpp"
#include "itl_error.hpp"

// "source/itl_api/<unit>:<line>" of the line where it stands.
#define ITL_API_POS(unit) "source/itl_api/" unit ":" COS_STRINGIFY(__LINE__)

// Trace component and detail of every exported function.
constexpr uint16_t ITL_API_TRACE_COMPONENT = 3;
constexpr CosEnTraceDetail ITL_API_TRACE_DETAIL = CosEnTraceDetail::HIGH;

// The trace guard of an exported function with its argument records. Each
// record carries the address of the caller's value and its length; nothing
// is written while no trace is current.
class ItlClApiTrace {
 public:
  // `function` is a literal (ITL_API_POS) that outlives the guard.
  explicit ItlClApiTrace(char const* function)
      : iv_clTrace(ITL_API_TRACE_DETAIL, ITL_API_TRACE_COMPONENT, function) {}
  ItlClApiTrace(ItlClApiTrace const&) = delete;
  ItlClApiTrace& operator=(ItlClApiTrace const&) = delete;

  // Type 8: the text without its terminator; a null text has length 0.
  void text(char const* label, char const* const& value) const {
    if (gs_pclCosTraceInstance == nullptr) return;
    uint32_t length =
        value != nullptr ? static_cast<uint32_t>(std::strlen(value)) : 0;
    iv_clTrace.dump(CosEnTraceDataType::CSTRING, label, value, length);
  }
  // Type 15: a signed 32-bit integer or an enumeration.
  template <class T>
  void int32(char const* label, T const& value) const {
    static_assert(sizeof(T) == 4, "a 32-bit value");
    iv_clTrace.dump(CosEnTraceDataType::INT32, label, &value, 4);
  }
  // Type 16.
  void uint32(char const* label, uint32_t const& value) const {
    iv_clTrace.dump(CosEnTraceDataType::UINT32, label, &value, 4);
  }
  // Type 10.
  void boolean(char const* label, bool const& value) const {
    iv_clTrace.dump(CosEnTraceDataType::BOOL, label, &value, 1);
  }
  // Type 7: the pointer's 8 bytes.
  template <class T>
  void address(char const* label, T* const& value) const {
    iv_clTrace.dump(CosEnTraceDataType::POINTER, label, &value,
                    sizeof value);
  }
  // Any record under the guard (detail 3, component 3).
  void dump(CosEnTraceDataType type, char const* label, void const* data,
            uint32_t length) const {
    iv_clTrace.dump(type, label, data, length);
  }

 private:
  CosClTrace iv_clTrace;
};

// The objects behind the handles.
inline ItlClErrorInfo* itlApiErrorInfo(ItlTyErrorInfoHandle handle) {
  return reinterpret_cast<ItlClErrorInfo*>(handle);
}
inline ItlTyErrorInfoHandle itlApiHandle(ItlClErrorInfo* object) {
  return reinterpret_cast<ItlTyErrorInfoHandle>(object);
}
inline ItlClContext* itlApiContext(ItlTyContextHandle handle) {
  return reinterpret_cast<ItlClContext*>(handle);
}
inline ItlTyContextHandle itlApiHandle(ItlClContext* object) {
  return reinterpret_cast<ItlTyContextHandle>(object);
}

// Step 4. The getters hide reason, action and context while the return
// code is 0, so emptying the context changes nothing a caller reads; the
// origin stays.
inline void itlApiReset(ItlClErrorInfo& errorInfo) {
  errorInfo.reset();
  errorInfo.resetContext(nullptr);
}

// Step 6: records a failed check (return code 8, action Inform) and returns
// the stored return code.
inline ItlEnReturnCode itlApiCheckFailed(ItlClErrorInfo& errorInfo,
                                         char const* origin,
                                         ItlEnReasonCode reason) {
  return errorInfo.setError(origin, reason, ItlEnReturnCode_Error,
                            ItlEnErrorAction_Inform);
}

// Step 8's recordings. Each returns the stored return code and never
// throws: a warning that reaches the threshold is recorded as reason 38.
ItlEnReturnCode itlApiRecord(ItlClErrorInfo& errorInfo,
                             ItlClException const& e);
ItlEnReturnCode itlApiRecord(ItlClErrorInfo& errorInfo,
                             CosClException const& e);
ItlEnReturnCode itlApiRecordUnexpected(ItlClErrorInfo& errorInfo,
                                       char const* origin);

// True when an update must be marked as requiring a rollback before the
// caught error is recorded: the error info holds an error whose action is
// Rollback or stronger, or the caught exception's own action is.
bool itlApiRollbackIsDue(ItlClErrorInfo const& errorInfo,
                         ItlEnErrorAction caughtAction);

// The step of functions without a rollback rule.
struct ItlClNoRollbackStep {
  void operator()(ItlClErrorInfo&, ItlEnErrorAction) const {}
};

// Steps 7 to 9: runs `body` and records what it throws; `step(errorInfo,
// caught action)` runs in each handler first (the action of an
// ItlClException, Inform for anything else) and must not throw. Returns
// the error info's stored return code.
template <class Body, class Step = ItlClNoRollbackStep>
ItlEnReturnCode itlApiGuarded(ItlClErrorInfo& errorInfo, char const* origin,
                              Body&& body, Step&& step = Step()) {
  try {
    body();
  } catch (ItlClException const& e) {
    step(errorInfo, e.getAction());
    return itlApiRecord(errorInfo, e);
  } catch (CosClException const& e) {
    step(errorInfo, ItlEnErrorAction_Inform);
    return itlApiRecord(errorInfo, e);
  } catch (...) {
    step(errorInfo, ItlEnErrorAction_Inform);
    return itlApiRecordUnexpected(errorInfo, origin);
  }
  return errorInfo.getReturnCode();
}

// Step 7 of a handle maker: allocates a T through the allocate callback in
// force (a null result raises the out-of-memory CosClException), constructs
// it with `args` and runs `init` on it. On any exception the object is
// destroyed and its memory freed before the exception passes on, so the
// caller's output handle stays null.
template <class T, class Init, class... Args>
T* itlApiMake(Init&& init, Args&&... args) {
  void* memory =
      CosClMemoryManager::cv_pfuAllocatorCallback(sizeof(T));
  if (memory == nullptr)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                    COS_MEMMGR_HEADER_LINE, sizeof(T));
  T* object;
  try {
    object = new (memory) T(std::forward<Args>(args)...);
  } catch (...) {
    CosClMemoryManager::free(memory);
    throw;
  }
  try {
    init(*object);
  } catch (...) {
    object->~T();
    CosClMemoryManager::free(memory);
    throw;
  }
  return object;
}

// Destroys an object made by itlApiMake and frees its memory.
template <class T>
void itlApiDestroy(T* object) {
  object->~T();
  CosClMemoryManager::free(object);
}

// The init step of objects that need none.
struct ItlClNoInit {
  template <class T>
  void operator()(T&) const {}
};

#endif  // ITL_API_FRAME_HPP
