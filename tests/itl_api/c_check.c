/* c_check.c: a C99 program on the exported interface, linked against the
 * shared libvqxtext. It makes an error info and a context, fails a call on
 * purpose and prints codes, names and origin. Exits 0 when every answer is
 * the documented one. */
#include <stdio.h>
#include <string.h>

#include "itl_api.h"

static int g_callbackCalls = 0;

static void onError(void* errorInfo, void* user) {
  (void)errorInfo;
  *(int*)user += 1;
}

static int check(int ok, char const* what) {
  if (!ok) printf("FAILED: %s\n", what);
  return ok ? 0 : 1;
}

int main(void) {
  ItlTyErrorInfoHandle errorInfo = NULL;
  ItlTyContextHandle context = NULL;
  int failures = 0;
  char const* origin;

  failures += check(itlHandleNewErrorInfo(&errorInfo) == ItlEnReturnCode_Success,
                    "new error info");
  failures += check(itlErrorInfoRegisterCallback(errorInfo, onError,
                                                 &g_callbackCalls) == 0,
                    "register error callback");
  failures += check(itlHandleNewContext(&context, errorInfo) == 0,
                    "new context");
  /* A null number callback is refused with reason 25. */
  failures += check(itlContextRegisterNumberCallback(context, NULL, NULL) ==
                        ItlEnReturnCode_Error,
                    "null number callback fails");
  origin = itlErrorInfoGetOrigin(errorInfo);
  printf("return code %d %s\n", (int)itlErrorInfoGetReturnCode(errorInfo),
         itlErrorInfoGetReturnCodeAsCString(errorInfo));
  printf("reason %d %s\n", (int)itlErrorInfoGetReasonCode(errorInfo),
         itlErrorInfoGetReasonCodeAsCString(errorInfo));
  printf("action %d %s\n", (int)itlErrorInfoGetAction(errorInfo),
         itlErrorInfoGetActionAsCString(errorInfo));
  printf("origin %s\n", origin != NULL ? origin : "(null)");
  printf("library %s, engine %s\n", itlGetInfo(ItlEnInfoType_LibraryName),
         itlGetInfo(ItlEnInfoType_EngineType));
  failures += check(itlErrorInfoGetReasonCode(errorInfo) ==
                        ItlEnReasonCode_Invalid_argument,
                    "reason 25");
  failures += check(strcmp(itlErrorInfoGetReasonCodeAsCString(errorInfo),
                           "ItlEnReasonCode_Invalid_argument") == 0,
                    "reason name");
  failures += check(origin != NULL &&
                        strncmp(origin, "source/itl_api/", 15) == 0,
                    "origin");
  failures += check(g_callbackCalls == 1, "error callback called once");
  /* Update and document-id functions on null handles. */
  {
    ItlTyIndexUpdateHandle update = NULL;
    ItlTyDocumentIDHandle id = NULL;
    ItlTyCCSID ccsid = 0;
    failures += check(itlHandleNewIndexUpdate(NULL, &update) == 16 &&
                          itlHandleDeleteIndexUpdate(&update) == 16 &&
                          !itlIndexUpdateIsPending(update) &&
                          itlIndexUpdateDocument(update, id,
                                                 ItlEnDocumentFormat_Text, NULL,
                                                 "", 0, &ccsid, "en") == 16 &&
                          itlIndexUpdateGetTimes(update,
                                                 ItlEnTimingUpdateType_First) ==
                              0.0,
                      "update functions on null handles");
    failures += check(itlHandleNewDocumentID(NULL, &id) == 16 &&
                          itlDocumentIDSetNumber(id, 1) == 16 &&
                          itlHandleDeleteDocumentID(&id) == 16,
                      "document-id functions on null handles");
  }
  failures += check(itlHandleDeleteContext(&context) == 0 && context == NULL,
                    "delete context");
  failures += check(itlHandleDeleteErrorInfo(&errorInfo) == 0 &&
                        errorInfo == NULL,
                    "delete error info");
  return failures == 0 ? 0 : 1;
}
