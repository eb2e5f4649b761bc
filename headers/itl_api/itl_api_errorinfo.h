/* itl_api_errorinfo.h: error-info handles.
 *
 * An error info receives the outcome of every call made on a handle bound
 * to it: the return code, the reason, the action, a context text of at
 * most 512 bytes, the origin (the source position that recorded the error)
 * and, after a failed engine call, the engine's status. Every other call
 * on such a handle first sets the return code and the warning count back
 * to 0; the getters below then report success even though the old reason
 * is still stored. The functions of this header never do that reset.
 *
 * Texts handed out point into the error info and stay valid until the next
 * call that records into it or deletes it.
 */
#ifndef ITL_API_ERRORINFO_H
#define ITL_API_ERRORINFO_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Makes an error info: return code 0, reason 0, action Inform, empty
 * context, no callback, no warning threshold. A null pointer gives 8; a
 * failure stores null and gives 8. Delete with itlHandleDeleteErrorInfo
 * after every handle bound to it. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewErrorInfo(
    ItlTyErrorInfoHandle* handle);
/* Destroys the error info and sets *handle to null; a null pointer or
 * handle gives 8 and changes nothing. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteErrorInfo(
    ItlTyErrorInfoHandle* handle);
/* The number of warnings within one call that turns the call into an error
 * with reason 38 (0: no limit). Null: 8. */
ITL_API_EXPORT ItlEnReturnCode itlErrorInfoSetWarningThreshold(
    ItlTyErrorInfoHandle errorInfo, uint32_t numberOfWarnings);
/* Installs `callback` with `user`, called on every recording of an error;
 * a null callback removes it. Null error info: 8. */
ITL_API_EXPORT ItlEnReturnCode itlErrorInfoRegisterCallback(
    ItlTyErrorInfoHandle errorInfo, ItlTyErrorCallback callback, void* user);

/* The stored return code; null: 8. */
ITL_API_EXPORT ItlEnReturnCode itlErrorInfoGetReturnCode(
    ItlTyErrorInfoHandle errorInfo);
/* The stored reason while the return code is not 0, else 0; null: 1. */
ITL_API_EXPORT ItlEnReasonCode itlErrorInfoGetReasonCode(
    ItlTyErrorInfoHandle errorInfo);
/* The stored action while the return code is not 0, else Ignore (100000);
 * null: Inform (100001). */
ITL_API_EXPORT ItlEnErrorAction itlErrorInfoGetAction(
    ItlTyErrorInfoHandle errorInfo);
/* The context text while the return code is not 0, else ""; null: null. */
ITL_API_EXPORT char const* itlErrorInfoGetContext(
    ItlTyErrorInfoHandle errorInfo);
/* The origin of the last recorded error ("source/<unit>:<line>"), null
 * before the first one; null error info: null. */
ITL_API_EXPORT char const* itlErrorInfoGetOrigin(
    ItlTyErrorInfoHandle errorInfo);
/* The copy of the engine status (all zero while the return code is 0);
 * null error info: null. */
ITL_API_EXPORT struct GTRSTATUS* itlErrorInfoGetVOZStatus(
    ItlTyErrorInfoHandle errorInfo);
/* The engine's return code of the copied status while the return code is
 * not 0, else 0; null: 0. */
ITL_API_EXPORT int32_t itlErrorInfoGetVOZCode(ItlTyErrorInfoHandle errorInfo);

/* Names of the codes above ("ItlEnReturnCode_Error", ...), static texts;
 * null for a value without a name. A null error info gives the name of
 * what the getter gives for it. */
ITL_API_EXPORT char const* itlErrorInfoGetReturnCodeAsCString(
    ItlTyErrorInfoHandle errorInfo);
ITL_API_EXPORT char const* itlErrorInfoGetActionAsCString(
    ItlTyErrorInfoHandle errorInfo);
ITL_API_EXPORT char const* itlErrorInfoGetReasonCodeAsCString(
    ItlTyErrorInfoHandle errorInfo);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_ERRORINFO_H */
