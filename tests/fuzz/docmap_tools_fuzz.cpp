// Fuzz target: the document-map tools on damaged files. The input gives a
// layout byte (fixed or sequential, name size), a flags byte (index only,
// one block, hex), a block number, then ".did", ".dii", ".ded", ".dei",
// ".del" and the field-name map ".tf" as length-prefixed pieces. The three
// displays run through the exported calls (console to a null stream, hex
// dumps to /dev/null), then the 64-bit layout detection and conversion.
// Every failure must come back as a return code: no exception, crash or
// process exit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "cos_consoleui.hpp"
#include "docmap_fuzz_util.hpp"
#include "fuzz_input.hpp"
#include "itl_api_docmap_parts.hpp"
#include "itl_docmap_migration.hpp"
#include "itl_error.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"
#include "ti_test_util.hpp"

namespace {

// Standard output goes to /dev/null while it lives.
class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    iv_iSaved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      close(null);
    }
  }
  ~QuietStdout() {
    std::fflush(stdout);
    if (iv_iSaved >= 0) {
      dup2(iv_iSaved, 1);
      close(iv_iSaved);
    }
  }

 private:
  int iv_iSaved;
};

// The migration's cursor walk over the maps as they are: every name
// rewritten into the new layout, then processing and rollback. Failures
// are the library's exceptions only.
void migrationWalk(ItlClIndexLocation const& location,
                   ItlClIndexConfig& config, ItlClErrorInfo& info,
                   uint8_t target) {
  uint16_t newLength = static_cast<uint16_t>(1 + (target & 0x3F));
  bool fixed = (target & 0x80) != 0;
  try {
    ItlClDocMapMigration migration(nullptr, info, location, config, newLength,
                                   fixed);
    try {
      migration.setCursorToFirst();
      std::string buffer(config.getMaxDocIDLength(), '\0');
      // At most four blocks of the smallest entries.
      for (int step = 0; step < 4 * 4096; ++step) {
        uint16_t length = 0;
        migration.obtainCurrentName(&buffer[0], length);
        FUZZ_CHECK(length <= buffer.size());
        if (length == 0) break;
        std::string name = buffer.substr(0, length);
        name.resize(fixed ? newLength : std::min<size_t>(length, newLength),
                    '_');
        uint16_t newSize = static_cast<uint16_t>(name.size());
        try {
          migration.setCurrentName(name.data(), newSize);
        } catch (ItlClException const&) {
          // A damaged map's numbers out of order.
        }
        migration.setCursorToNext();
        if (!migration.isCursorValid()) break;
      }
      migration.process();
    } catch (ItlClException const&) {
    } catch (CosClException const&) {
    }
    migration.rollback();
  } catch (ItlClException const&) {
  } catch (CosClException const&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 600000) return 0;
  std::string const& dir = docmapFuzzScratch("docmap_tools");
  std::error_code ec;
  std::filesystem::remove_all(dir + "/i", ec);
  std::filesystem::remove_all(dir + "/w", ec);
  std::string index = dir + "/i/", work = dir + "/w/";
  mkdir(index.c_str(), 0700);
  mkdir(work.c_str(), 0700);

  FuzzInput in(data, size);
  uint8_t layout = in.byte();
  uint8_t flags = in.byte();
  uint32_t block = in.byte();
  for (char const* ext : {".did", ".dii", ".ded", ".dei", ".del", ".tf"}) {
    std::string bytes = docmapFuzzPiece(in);
    if (!bytes.empty() || in.flag()) writeFile(index + "ix" + ext, bytes);
  }
  uint8_t target = in.byte();

  ItlClErrorInfo info;
  ItlClIndexLocation location("ix", index.c_str(), work.c_str());
  ItlClIndexConfig config(location, info);
  config.setMaxDocIDLength(static_cast<uint16_t>(1 + (layout & 0x3F)));
  config.setDocNamesHaveFixSize((layout & 0x80) != 0);
  ItlClFieldNameMap fields(location, info);
  fields.init();
  ItlStDocMapToolIndex tool{&location, &config, &info, &fields, nullptr, nullptr, nullptr};

  char const* argv[] = {"docmap_tools_fuzz"};
  CosClConsoleUI console(1, argv);
  console.init(nullptr);
  std::ostream nowhere(nullptr);
  console.setOutputStream(nowhere);
  bool indexOnly = (flags & 1) != 0, oneBlock = (flags & 2) != 0,
       hex = (flags & 4) != 0;
  QuietStdout quiet;
  int rc = itlApiToolDisplayDex(&tool, indexOnly, oneBlock, block, console, hex);
  FUZZ_CHECK(rc == 0 || rc == 4 || rc == 8);
  rc = itlApiToolDisplayDix(&tool, indexOnly, oneBlock, block, console, hex);
  FUZZ_CHECK(rc == 0 || rc == 4 || rc == 8);
  rc = itlApiToolDisplayDel(&tool, console);
  FUZZ_CHECK(rc == 0 || rc == 4 || rc == 8);
  rc = itlApiTool32To64FieldNameMap(&tool);
  FUZZ_CHECK(rc == 0 || rc == 8);
  migrationWalk(location, config, info, target);
  return 0;
}
