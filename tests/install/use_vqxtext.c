/* use_vqxtext.c: a caller of the installed index library, built with
 * `cc $(pkg-config --cflags --libs vqxtext)`. It reads the library
 * information, makes an error info, a context and an index handle on an
 * index that does not exist, and checks the answers. Argument: a folder for
 * the index. Exits 0 when every answer is the documented one. */
#include <stdio.h>
#include <string.h>

#include "itl_api.h"

static int failures = 0;

static void check(int ok, char const* what) {
  if (!ok) {
    printf("FAILED: %s\n", what);
    ++failures;
  }
}

int main(int argc, char** argv) {
  ItlTyErrorInfoHandle errorInfo = NULL;
  ItlTyContextHandle context = NULL;
  ItlTyIndexHandle index = NULL;
  char const* name;
  char const* engine;
  uint64_t count = 0;

  if (argc != 2) {
    fprintf(stderr, "usage: use_vqxtext <folder>\n");
    return 2;
  }
  name = itlGetInfo(ItlEnInfoType_LibraryName);
  engine = itlGetInfo(ItlEnInfoType_EngineType);
  printf("library %s, engine %s\n", name ? name : "(null)", engine ? engine : "(null)");
  check(name != NULL && name[0] != '\0', "library name");
  check(engine != NULL && strcmp(engine, "ITL_ENGINE_VOZ_ONLY") == 0, "engine type");

  check(itlHandleNewErrorInfo(&errorInfo) == ItlEnReturnCode_Success, "new error info");
  check(itlHandleNewContext(&context, errorInfo) == ItlEnReturnCode_Success, "new context");
  check(itlHandleNewIndex(context, "missing", argv[1], &index) == ItlEnReturnCode_Success &&
            index != NULL,
        "new index handle");
  check(strcmp(itlIndexGetName(index), "missing") == 0, "index name");
  check(!itlIndexIsExistent(index), "index does not exist");
  /* A missing index has no document count: reason 100. */
  check(itlIndexObtainNumberOfDocuments(index, &count) != ItlEnReturnCode_Success,
        "no count of a missing index");
  printf("count of a missing index: %s %s\n", itlErrorInfoGetReturnCodeAsCString(errorInfo),
         itlErrorInfoGetReasonCodeAsCString(errorInfo));
  check(itlErrorInfoGetReasonCode(errorInfo) == 100, "reason 100");
  /* A bad name is refused with reason 101 and leaves the handle null. */
  {
    ItlTyIndexHandle bad = NULL;
    check(itlHandleNewIndex(context, "a/b", argv[1], &bad) != ItlEnReturnCode_Success &&
              bad == NULL,
          "bad index name refused");
    check(itlErrorInfoGetReasonCode(errorInfo) == 101, "reason 101");
  }
  check(itlHandleDeleteIndex(&index) == ItlEnReturnCode_Success && index == NULL,
        "delete index handle");
  check(itlHandleDeleteContext(&context) == ItlEnReturnCode_Success && context == NULL,
        "delete context");
  check(itlHandleDeleteErrorInfo(&errorInfo) == ItlEnReturnCode_Success && errorInfo == NULL,
        "delete error info");
  return failures == 0 ? 0 : 1;
}
