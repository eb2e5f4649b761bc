// itl_tools.cpp: the helper functions the index tools share (itl_tools.hpp)
// that need no update handle: handle set-up and clean-up, file loading,
// error displays, the error-info callback and hex dumps. The update-based
// helpers are in itl_tools_update.cpp.
#include "itl_tools.hpp"

#include <cstdio>
#include <cstdlib>

#include "cos_consoleui.hpp"
#include "cos_memmgr.hpp"

namespace {

// A line of its own on the console's output stream.
void line(CosClConsoleUI& console, char const* text) {
  console.msg(console.getOutputStream(), text);
}

}  // namespace

int itlToolsInitIndexHandle(CosClConsoleUI& console, char const* title,
                            ItlTyContextHandle* context,
                            ItlTyIndexHandle* index,
                            ItlTyErrorInfoHandle* errorInfo, bool verbose) {
  if (verbose) console.formatHeader("Init index handle");
  char const* name = nullptr;
  char const* directory = nullptr;
  console.reqArgString("-i", name);
  console.reqArgString("-p", directory);

  int rc = itlHandleNewErrorInfo(errorInfo);
  if (rc != 0) console.format("itlHandleNewErrorInfo RC", rc);
  if (*errorInfo == nullptr) {
    line(console, "ErrorInfo handle is invalid!");
    return 2;
  }
  bool failed = rc != 0;
  rc = itlErrorInfoRegisterCallback(*errorInfo, itlToolsErrorCallback,
                                    const_cast<char*>(title));
  if (rc != 0) {
    console.format("itlErrorInfoRegisterCallback RC", rc);
    failed = true;
  }
  rc = itlHandleNewContext(context, *errorInfo);
  if (rc != 0) {
    console.format("itlHandleNewContext RC", rc);
    failed = true;
  }
  if (*context != nullptr) {
    rc = itlHandleNewIndex(*context, name, directory, index);
    if (rc != 0) {
      console.format("itlHandleNewIndex RC", rc);
      failed = true;
    }
  }
  if (*index == nullptr) {
    line(console, "Index handle is invalid!");
    return itlErrorInfoGetReasonCode(*errorInfo);
  }
  if (console.hasArgSwitch("dsplog")) {
    rc = itlIndexSetDisplayLog(*index, true);
    if (rc != 0) {
      console.format("itlIndexSetDisplayLog RC", rc);
      failed = true;
    } else {
      console.format("display log information", "enabled");
    }
  } else {
    console.format("display log information", "use default");
  }
  return failed ? itlErrorInfoGetReasonCode(*errorInfo) : 0;
}

int itlToolsDeleteIndexHandle(CosClConsoleUI& console,
                              ItlTyContextHandle* context,
                              ItlTyIndexHandle* index) {
  console.formatHeader("Cleanup");
  int rc = 0;
  if (*index != nullptr) {
    rc = itlHandleDeleteIndex(index);
    if (rc != 0)
      console.format("itlHandleDeleteIndex RC", rc);
    else
      console.format("Delete index handle", "done");
  } else {
    console.format("Delete index handle not applied", "HandleIsInvalid");
  }
  if (*context != nullptr) {
    rc = itlHandleDeleteContext(context);
    if (rc != 0)
      console.format("itlHandleDeleteContext RC", rc);
    else
      console.format("Delete context handle", "done");
  } else {
    console.format("Delete context handle not applied", "HandleIsInvalid");
  }
  return rc;
}

int itlToolsLoadFileContent(char const* fileName, char** buffer,
                            uint32_t* size) {
  *buffer = nullptr;
  *size = 0;
  if (fileName == nullptr) return 15;
  std::FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return 15;
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  // The size must fit the library's 32-bit lengths and the extra NUL.
  if (length < 0 || length >= 0x7fffffffL || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return 15;
  }
  unsigned int bytes = static_cast<unsigned int>(length);
  char* data = static_cast<char*>(
      CosClMemoryManager::cv_pfuAllocatorCallback(bytes + 1u));
  if (data == nullptr) {
    std::fclose(file);
    return 2;
  }
  size_t read = std::fread(data, 1, bytes, file);
  std::fclose(file);
  if (read != bytes) {
    CosClMemoryManager::free(data);
    return 15;
  }
  data[bytes] = '\0';
  *buffer = data;
  *size = bytes;
  return 0;
}

void itlToolsDisplayError(ItlTyErrorInfoHandle errorInfo) {
  char const* context = itlErrorInfoGetContext(errorInfo);
  char const* origin = itlErrorInfoGetOrigin(errorInfo);
  std::printf("\n");
  std::printf("*******************************************************************\n");
  std::printf("\tAn Error occured\n");
  std::printf("\t   Error reason code...: %d   (%s)\n",
              static_cast<int>(itlErrorInfoGetReasonCode(errorInfo)),
              itlErrorInfoGetReasonCodeAsCString(errorInfo));
  std::printf("\t   Error return code...: %d   (%s)\n",
              static_cast<int>(itlErrorInfoGetReturnCode(errorInfo)),
              itlErrorInfoGetReturnCodeAsCString(errorInfo));
  std::printf("\t   Error action........: %d   (%s)\n",
              static_cast<int>(itlErrorInfoGetAction(errorInfo)),
              itlErrorInfoGetActionAsCString(errorInfo));
  std::printf("\t   Error context.......: %s\n", context != nullptr ? context : "");
  std::printf("\t   Error origin........: %s\n", origin != nullptr ? origin : "");
  std::fflush(stdout);
}

void itlToolsDisplayError(CosClConsoleUI& console, char const* message,
                          ItlTyErrorInfoHandle errorInfo) {
  if (itlErrorInfoGetReturnCode(errorInfo) == ItlEnReturnCode_Success) return;
  char const* context = itlErrorInfoGetContext(errorInfo);
  char const* origin = itlErrorInfoGetOrigin(errorInfo);
  console.formatHeader(message);
  console.format("Error reason code",
                 static_cast<int32_t>(itlErrorInfoGetReasonCode(errorInfo)));
  console.format("Error reason code",
                 itlErrorInfoGetReasonCodeAsCString(errorInfo));
  console.format("Error return code",
                 static_cast<int32_t>(itlErrorInfoGetReturnCode(errorInfo)));
  console.format("Error return code",
                 itlErrorInfoGetReturnCodeAsCString(errorInfo));
  console.format("Error action",
                 static_cast<int32_t>(itlErrorInfoGetAction(errorInfo)));
  console.format("Error action", itlErrorInfoGetActionAsCString(errorInfo));
  console.format("Error context", context != nullptr ? context : "");
  console.format("Error origin", origin != nullptr ? origin : "");
}

void itlToolsErrorCallback(void* errorInfo, void* user) {
  ItlTyErrorInfoHandle info = static_cast<ItlTyErrorInfoHandle>(errorInfo);
  char const* title = user != nullptr ? static_cast<char const*>(user) : "";
  std::printf("\n");
  std::printf("ERROR CALLBACK: Application title: %s\n", title);
  std::fflush(stdout);
  ItlEnErrorAction action = itlErrorInfoGetAction(info);
  if (action == ItlEnErrorAction_Ignore) return;
  itlToolsDisplayError(info);
  if (action == ItlEnErrorAction_Abort) std::abort();
}

void printHex(char* data, unsigned int length, char* label) {
  if (label != nullptr) std::printf(" %s ", label);
  for (unsigned int i = 0; i < length; ++i)
    std::printf("%02x ", static_cast<unsigned char>(data[i]));
  std::printf(" \n");
  std::fflush(stdout);
}
