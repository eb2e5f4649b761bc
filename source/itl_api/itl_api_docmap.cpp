// itl_api_docmap.cpp: the exported document-map tools on handles
// (itl_api_docmap.h) and on the index object (itl_docmap_tools.hpp).
//
// Each gathers the parts of its index and hands them to the one
// implementation over parts (itl_api_docmap_parts.hpp), which runs the
// frame. A search handle's index was loaded when the handle was made; an
// index handle's or an index object's index is loaded by that
// implementation after its argument checks.
#include "itl_api_docmap.h"

#include "itl_api_docmap_parts.hpp"
#include "itl_api_index.hpp"
#include "itl_api_search_handle.hpp"
#include "itl_docmap_tools.hpp"
#include "itl_index.hpp"

namespace {

// The parts of `index`; `load` asks for the index to be loaded first.
ItlStDocMapToolIndex partsOf(ItlClIndex& index, bool load) {
  return {&index.getLocation(),
          &index.getConfig(),
          &index.getErrorInfo(),
          &index.getFieldNameMap(),
          &index.getAttributeNameMap(),
          &index.getDocumentNameMapping(),
          load ? &index : nullptr};
}

ItlStDocMapToolIndex partsOf(ItlTyIndexSearchHandle search) {
  return partsOf(itlApiIndexSearch(search)->getIndex(), false);
}

ItlStDocMapToolIndex partsOf(ItlTyIndexHandle index) {
  return partsOf(*itlApiIndex(index), true);
}

}  // namespace

ItlEnReturnCode itlDocMapObtainDocumentIds(ItlTyIndexSearchHandle search,
                                           uint64_t count, uint64_t* numbers,
                                           uint16_t* lengths, char* names,
                                           bool inOrder) {
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlStDocMapToolIndex parts = partsOf(search);
  return itlApiToolDocMapObtainDocumentIds(&parts, count, numbers, lengths,
                                           names, inOrder);
}

ItlEnReturnCode itlGetMaxDocNameSize(ItlTyIndexSearchHandle search,
                                     uint16_t* size) {
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlStDocMapToolIndex parts = partsOf(search);
  return itlApiToolGetMaxDocNameSize(&parts, size);
}

ItlEnReturnCode itlGetMaxDocNumber(ItlTyIndexHandle index, uint64_t* number) {
  if (index == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlStDocMapToolIndex parts = partsOf(index);
  return itlApiToolGetMaxDocNumber(&parts, number);
}

ItlEnReturnCode itlNameMapProcess(ItlTyIndexHandle index, char const* name,
                                  uint16_t length, bool assign) {
  if (index == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(index);
  return itlApiToolNameMapProcess(&parts, name, length, assign);
}

ItlEnReturnCode itlNameMapFinalize(ItlTyIndexHandle index) {
  if (index == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(index);
  return itlApiToolNameMapFinalize(&parts);
}

ItlEnReturnCode itlNameMapMerge(ItlTyIndexHandle index) {
  if (index == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(index);
  return itlApiToolNameMapMerge(&parts);
}

ItlEnReturnCode itlDisplayFieldNameMap(ItlTyIndexSearchHandle search,
                                       FILE* stream) {
  if (search == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(search);
  return itlApiToolDisplayFieldNameMap(&parts, stream);
}

ItlEnReturnCode itlDisplayAttributeNameMap(ItlTyIndexSearchHandle search,
                                           FILE* stream) {
  if (search == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(search);
  return itlApiToolDisplayAttributeNameMap(&parts, stream);
}

ItlEnReturnCode itl32To64FieldNameMap(ItlTyIndexSearchHandle search) {
  if (search == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(search);
  return itlApiTool32To64FieldNameMap(&parts);
}

ItlEnReturnCode itl32To64AttributeNameMap(ItlTyIndexSearchHandle search) {
  if (search == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(search);
  return itlApiTool32To64AttributeNameMap(&parts);
}

ItlEnReturnCode itlDisplayDex(ItlClIndex* index, bool indexOnly,
                              bool oneBlock, unsigned int blockNumber,
                              CosClConsoleUI& console, bool hex) {
  if (index == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(*index, true);
  return itlApiToolDisplayDex(&parts, indexOnly, oneBlock, blockNumber,
                              console, hex);
}

ItlEnReturnCode itlDisplayDix(ItlClIndex* index, bool indexOnly,
                              bool oneBlock, unsigned int blockNumber,
                              CosClConsoleUI& console, bool hex) {
  if (index == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(*index, true);
  return itlApiToolDisplayDix(&parts, indexOnly, oneBlock, blockNumber,
                              console, hex);
}

ItlEnReturnCode itlDisplayDel(ItlClIndex* index, CosClConsoleUI& console) {
  if (index == nullptr) return ItlEnReturnCode_Error;
  ItlStDocMapToolIndex parts = partsOf(*index, true);
  return itlApiToolDisplayDel(&parts, console);
}
