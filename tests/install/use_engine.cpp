// use_engine.cpp: a C++ caller of the engine calls through the installed
// engine headers (-I`pkg-config --variable=enginedir vqxtext`): the message
// of a failed index-information call.
#include <cstdio>
#include <cstring>

#include "calls/voz_gtradmin.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrmaint.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "calls/voz_message.hpp"
#include "calls/voz_wordcalls.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: use_engine <folder>\n");
    return 2;
  }
  GTRSTATUS status;
  std::memset(&status, 0xff, sizeof status);
  voz_ClearStatus(&status);
  if (status.retcode != 0) return 1;
  int32_t rc = GTRgetIndexInfo("missing", argv[1], nullptr, nullptr, nullptr, &status);
  char message[VOZ_MESSAGE_MAX];
  GTRgetMessage(2, &status, message);
  std::printf("engine %s; index info of a missing index: %d %d %s\n", itlGetEngineType(), rc,
              status.retcode, message);
  return std::strcmp(itlGetEngineType(), "ITL_ENGINE_VOZ_ONLY") == 0 && status.retcode == 20 ? 0 : 1;
}
