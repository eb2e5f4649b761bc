// itl_error_info.cpp: the caller's error info (ItlClErrorInfo) and the
// exception of the index library (ItlClException).
//
// Every exported function records what it caught here with one of the three
// setError forms; all of them end in record(), which stores the codes and
// the origin, traces them, calls the caller's callback and counts warnings.
// The warning threshold is the only place where recording throws.
//
// The engine status copy follows the recording: an ItlClException brings
// its own copy along (the API hands the engine status out after a failed
// engine call); every other recording zero-fills the stored copy so that no
// stale engine status outlives the error it belonged to.
#include <cstring>

#include "cos_trace.hpp"
#include "files/voz_status.hpp"
#include "itl_cos_interface.hpp"
#include "itl_error.hpp"

namespace {

// Trace component of the index library and the detail of its records.
constexpr uint16_t kTraceComponent = 3;
constexpr CosEnTraceDetail kTraceDetail = CosEnTraceDetail::HIGH;

char const kOriginTooManyWarnings[] = "source/itl_common/itl_error_info:141";
constexpr unsigned kLineTooManyWarnings = 141;

}  // namespace

// ---------------------------------------------------------------------------
// ItlClErrorInfo

ItlClErrorInfo::ItlClErrorInfo()
    : ItlClErrorData(ItlEnReturnCode_Success, ItlEnReasonCode_Success,
                     ItlEnErrorAction_Inform),
      iv_pszOrigin(nullptr),
      iv_uiWarningCount(0),
      iv_pfuCallback(nullptr),
      iv_pvCallbackUserData(nullptr),
      iv_uiWarningThreshold(0) {}

ItlClErrorInfo::~ItlClErrorInfo() = default;

void ItlClErrorInfo::execCallback() {
  if (iv_pfuCallback != nullptr) iv_pfuCallback(this, iv_pvCallbackUserData);
}

void ItlClErrorInfo::traceRecord(char const* function) const {
  if (gs_pclCosTraceInstance == nullptr) return;
  auto value = [function](char const* label, CosEnTraceDataType type,
                          void const* data, uint32_t length) {
    cosTraceDump(kTraceDetail, kTraceComponent, type, function, label, data,
                 length);
  };
  char const* origin = iv_pszOrigin != nullptr ? iv_pszOrigin : "";
  char const* context =
      iv_enReturnCode != ItlEnReturnCode_Success ? getContext() : "";
  value("origin", CosEnTraceDataType::CSTRING, origin,
        static_cast<uint32_t>(std::strlen(origin)));
  value("return code", CosEnTraceDataType::INT32, &iv_enReturnCode, 4);
  value("reason code", CosEnTraceDataType::INT32, &iv_enReasonCode, 4);
  value("action code", CosEnTraceDataType::INT32, &iv_enAction, 4);
  value("current context", CosEnTraceDataType::CSTRING, context,
        static_cast<uint32_t>(std::strlen(context)));
  value("callback", CosEnTraceDataType::POINTER, &iv_pfuCallback,
        sizeof iv_pfuCallback);
  value("callback user data", CosEnTraceDataType::POINTER,
        &iv_pvCallbackUserData, sizeof iv_pvCallbackUserData);
}

ItlEnReturnCode ItlClErrorInfo::record(char const* origin,
                                       ItlEnReasonCode reason,
                                       ItlEnReturnCode rc,
                                       ItlEnErrorAction action) {
  static char const kFunction[] =
      "source/itl_common/itl_error_info:" COS_STRINGIFY(__LINE__);
  CosClTrace trace(kTraceDetail, kTraceComponent, kFunction);
  iv_pszOrigin = origin;
  setCodes(rc, reason, action);
  traceRecord(kFunction);
  execCallback();
  if (rc == ItlEnReturnCode_Warning) {
    ++iv_uiWarningCount;
    trace.dump(CosEnTraceDataType::UINT32, "number of warnings",
               &iv_uiWarningCount, 4);
    trace.dump(CosEnTraceDataType::UINT32, "warning threshold",
               &iv_uiWarningThreshold, 4);
    if (iv_uiWarningThreshold != 0 &&
        iv_uiWarningCount >= iv_uiWarningThreshold) {
      resetContext(nullptr);
      iv_enReturnCode = ItlEnReturnCode_Success;
      iv_uiWarningCount = 0;
      ItlClException(kOriginTooManyWarnings, kLineTooManyWarnings,
                     ItlEnReasonCode_Too_many_warnings)
          .raise();
    }
  }
  return iv_enReturnCode;
}

ItlEnReturnCode ItlClErrorInfo::setError(char const* origin,
                                         ItlEnReasonCode reason,
                                         ItlEnReturnCode rc,
                                         ItlEnErrorAction action) {
  clearVozStatus();
  return record(origin, reason, rc, action);
}

ItlEnReturnCode ItlClErrorInfo::setError(CosClException const& e) {
  uint32_t id = static_cast<uint32_t>(e.getErrorId());
  ItlEnReasonCode reason = ItlClCosInterface::getItlReasonCodeForCosErrorId(id);
  // A cos exception is a failure even when it names no error id.
  char const* cause = e.getCause();
  resetContext(cause != nullptr && *cause != '\0' ? cause : nullptr);
  if (reason == ItlEnReasonCode_Unexpected_cos_rc) {
    context(27) << ": " << id;
    context(28) << ": " << static_cast<int32_t>(e.getErrorClass());
  }
  clearVozStatus();
  return record(e.getLocation(), reason, ItlEnReturnCode_Error,
                ItlEnErrorAction_Inform);
}

ItlEnReturnCode ItlClErrorInfo::setError(ItlClException const& e) {
  ItlEnReturnCode rc = e.getReturnCode();
  if (rc != ItlEnReturnCode_Success) {
    ItlClErrorData::operator=(e);  // codes, context text, status copy
    return record(e.getSourceFile(), e.getReasonCode(), rc, e.getAction());
  }
  resetContext(nullptr);
  clearVozStatus();
  return record(e.getSourceFile(), ItlEnReasonCode_Success, rc,
                ItlEnErrorAction_Ignore);
}

// ---------------------------------------------------------------------------
// ItlClException

ItlClException::ItlClException(char const* sourceFile, unsigned line,
                               ItlEnReasonCode reason, ItlEnReturnCode rc,
                               ItlEnErrorAction action)
    : CosClExceptionABase(""),
      ItlClErrorData(rc, reason, action),
      iv_pszSourceFile(sourceFile != nullptr ? sourceFile : ""),
      iv_uiLine(line) {}

ItlClException::ItlClException(ItlClException const& other)
    : CosClExceptionABase(other),
      ItlClErrorData(other),
      iv_pszSourceFile(other.iv_pszSourceFile),
      iv_uiLine(other.iv_uiLine) {}

ItlClException::~ItlClException() = default;

void ItlClException::raise() const {
  if (gs_pclCosTraceInstance != nullptr)
    cosTraceDump(kTraceDetail, kTraceComponent, CosEnTraceDataType::CSTRING,
                 iv_pszSourceFile, "ItlClException", getContext(),
                 getContextLength());
  throw *this;
}

void itlRaise(char const* sourceFile, unsigned line, ItlEnReasonCode reason,
              int messageId, char const* value) {
  ItlClException e(sourceFile, line, reason);
  if (messageId != 0) e.context(messageId) << ": " << (value ? value : "");
  e.raise();
}
