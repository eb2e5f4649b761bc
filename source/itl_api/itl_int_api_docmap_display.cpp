// itl_int_api_docmap_display.cpp: the document-map displays over the parts
// of an index (itl_api_docmap_parts.hpp) on the API frame; the work is in
// itl_docmap_display.cpp of the index folder.
#include "itl_api_frame.hpp"
#include "itl_docmap_display.hpp"
#include "itl_index.hpp"
#include "itl_api_docmap_parts.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"

namespace {

// Origins of the unexpected failures of each display.
constexpr char kDexOrigin[] = "source/itl_api/itl_int_api_docmap:650";
constexpr char kDixOrigin[] = "source/itl_api/itl_int_api_docmap:786";
constexpr char kDelOrigin[] = "source/itl_api/itl_int_api_docmap:853";

bool isComplete(ItlStDocMapToolIndex const* index) {
  return index != nullptr && index->location != nullptr &&
         index->config != nullptr && index->errorInfo != nullptr;
}

ItlEnReturnCode displayMap(ItlStDocMapToolIndex const* index,
                           ItlEnDocMapKind kind, char const* origin,
                           bool indexOnly, bool oneBlock,
                           unsigned int blockNumber, CosClConsoleUI& console,
                           bool hex) {
  if (!isComplete(index)) return ItlEnReturnCode_Error;
  ItlClErrorInfo& errorInfo = *index->errorInfo;
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, origin, [&] {
    if (index->toLoad != nullptr) index->toLoad->load();
    ItlStDocMapDisplayTarget target{*index->location,
                                    index->config->getMaxDocIDLength(),
                                    index->config->getDocNamesHaveFixSize()};
    itlDocMapDisplay(target, kind, indexOnly, oneBlock, blockNumber, console,
                     hex, errorInfo);
  });
}

}  // namespace

ItlEnReturnCode itlApiToolDisplayDex(ItlStDocMapToolIndex const* index,
                              bool indexOnly, bool oneBlock,
                              unsigned int blockNumber,
                              CosClConsoleUI& console, bool hex) {
  ItlClApiTrace trace(ITL_API_POS("itl_int_api_docmap"));
  trace.boolean("indexOnly", indexOnly);
  trace.boolean("oneBlock", oneBlock);
  trace.uint32("blockNumber", blockNumber);
  return displayMap(index, ItlEnDocMapKind::NAME_TO_NUMBER, kDexOrigin,
                    indexOnly, oneBlock, blockNumber, console, hex);
}

ItlEnReturnCode itlApiToolDisplayDix(ItlStDocMapToolIndex const* index,
                              bool indexOnly, bool oneBlock,
                              unsigned int blockNumber,
                              CosClConsoleUI& console, bool hex) {
  ItlClApiTrace trace(ITL_API_POS("itl_int_api_docmap"));
  trace.boolean("indexOnly", indexOnly);
  trace.boolean("oneBlock", oneBlock);
  trace.uint32("blockNumber", blockNumber);
  return displayMap(index, ItlEnDocMapKind::NUMBER_TO_NAME, kDixOrigin,
                    indexOnly, oneBlock, blockNumber, console, hex);
}

ItlEnReturnCode itlApiToolDisplayDel(ItlStDocMapToolIndex const* index,
                              CosClConsoleUI& console) {
  ItlClApiTrace trace(ITL_API_POS("itl_int_api_docmap"));
  if (!isComplete(index)) return ItlEnReturnCode_Error;
  ItlClErrorInfo& errorInfo = *index->errorInfo;
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, kDelOrigin, [&] {
    if (index->toLoad != nullptr) index->toLoad->load();
    ItlStDocMapDisplayTarget target{*index->location,
                                    index->config->getMaxDocIDLength(),
                                    index->config->getDocNamesHaveFixSize()};
    itlDocMapDisplayDeleted(target, console, errorInfo);
  });
}
