// itl_int_api_docmap.cpp: the tool functions for document ids, limits and
// name maps over the parts of an index (itl_api_docmap_parts.hpp), on the
// API frame; the exported forms on handles (itl_api_docmap.cpp) call them.
//
// Each works on the parts of an index it is handed; the work is
// delegated to the document-name mapping, the number-to-name map and the
// name maps. Origins of recorded failures are
// "source/itl_api/itl_int_api_docmap:<line>" (and, for the name-map
// displays and conversions, "source/itl_api/itl_int_api_index:<line>").
#include <cstring>

#include "cos_memmgr.hpp"
#include "itl_api_frame.hpp"
#include "itl_docmap_dix.hpp"
#include "itl_api_docmap_parts.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_index.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"

namespace {

#define DOCMAP_ORIGIN(line) "source/itl_api/itl_int_api_docmap:" #line
#define INDEX_ORIGIN(line) "source/itl_api/itl_int_api_index:" #line

bool isComplete(ItlStDocMapToolIndex const* index) {
  return index != nullptr && index->location != nullptr &&
         index->config != nullptr && index->errorInfo != nullptr;
}

void loadIfAsked(ItlStDocMapToolIndex const& index) {
  if (index.toLoad != nullptr) index.toLoad->load();
}

// Frame of the functions on one part of the index: null index `nullCode`;
// reset; a null part reason 25; then the work, guarded.
template <class Part, class Body>
ItlEnReturnCode onPart(ItlStDocMapToolIndex const* index, Part* part,
                       ItlEnReturnCode nullCode, char const* origin,
                       Body&& body) {
  if (!isComplete(index)) return nullCode;
  ItlClErrorInfo& errorInfo = *index->errorInfo;
  itlApiReset(errorInfo);
  if (part == nullptr)
    return itlApiCheckFailed(errorInfo, origin,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, origin, [&] {
    loadIfAsked(*index);
    body(*part);
  });
}

}  // namespace

ItlEnReturnCode itlApiToolDocMapObtainDocumentIds(ItlStDocMapToolIndex const* index,
                                           uint64_t count, uint64_t* numbers,
                                           uint16_t* lengths, char* names,
                                           bool inOrder) {
  ItlClApiTrace trace(DOCMAP_ORIGIN(86));
  trace.dump(CosEnTraceDataType::UINT64, "size", &count, 8);
  if (!isComplete(index)) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = *index->errorInfo;
  itlApiReset(errorInfo);
  bool fixed = index->config->getDocNamesHaveFixSize();
  if (names == nullptr)
    return itlApiCheckFailed(errorInfo, DOCMAP_ORIGIN(108),
                             ItlEnReasonCode_Invalid_argument);
  if (numbers == nullptr)
    return itlApiCheckFailed(errorInfo, DOCMAP_ORIGIN(113),
                             ItlEnReasonCode_Invalid_argument);
  if (lengths == nullptr && !fixed)
    return itlApiCheckFailed(errorInfo, DOCMAP_ORIGIN(123),
                             ItlEnReasonCode_Invalid_argument);
  if (count == 0) return ItlEnReturnCode_Success;
  if (index->mapping == nullptr)
    return itlApiCheckFailed(errorInfo, DOCMAP_ORIGIN(130),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, DOCMAP_ORIGIN(143), [&] {
    loadIfAsked(*index);
    uint16_t slot = index->config->getMaxDocIDLength();
    index->mapping->access4Read();
    if (fixed)
      index->mapping->mapNumbersToNamesFix(count, slot, numbers, lengths,
                                           names, inOrder);
    else
      index->mapping->mapNumbersToNamesSeq(count, slot, numbers, lengths,
                                           names, inOrder);
  });
}

ItlEnReturnCode itlApiToolGetMaxDocNameSize(ItlStDocMapToolIndex const* index,
                                     uint16_t* size) {
  ItlClApiTrace trace(DOCMAP_ORIGIN(151));
  if (!isComplete(index)) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = *index->errorInfo;
  itlApiReset(errorInfo);
  if (size == nullptr)
    return itlApiCheckFailed(errorInfo, DOCMAP_ORIGIN(167),
                             ItlEnReasonCode_Invalid_argument);
  *size = index->config->getMaxDocIDLength();
  return errorInfo.getReturnCode();
}

ItlEnReturnCode itlApiToolGetMaxDocNumber(ItlStDocMapToolIndex const* index,
                                   uint64_t* number) {
  ItlClApiTrace trace(DOCMAP_ORIGIN(183));
  if (!isComplete(index)) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = *index->errorInfo;
  itlApiReset(errorInfo);
  if (number == nullptr)
    return itlApiCheckFailed(errorInfo, DOCMAP_ORIGIN(201),
                             ItlEnReasonCode_Invalid_argument);
  // A map of its own, so the index's mapping keeps its state.
  return itlApiGuarded(errorInfo, DOCMAP_ORIGIN(225), [&] {
    loadIfAsked(*index);
    ItlClIndexLocation const& from = *index->location;
    ItlClIndexLocation location(
        from.getIndexName(), from.getIndexDirectory().getAsCString(),
        from.getWorkingDirectory().getAsCString());
    ItlClDix dix(location);
    dix.setMaxDocNameSize(index->config->getMaxDocIDLength(),
                          index->config->getDocNamesHaveFixSize());
    bool exists = false;
    dix.access4Read(exists);
    if (!exists) {
      errorInfo.setError(DOCMAP_ORIGIN(217), ItlEnReasonCode_Index_not_found,
                         ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
      return;
    }
    *number = dix.dataControl().ulHighestDocNumber;
    dix.closeAll();
  });
}

ItlEnReturnCode itlApiToolNameMapProcess(ItlStDocMapToolIndex const* index,
                                  char const* name, uint16_t length,
                                  bool assign) {
  if (!isComplete(index)) return ItlEnReturnCode_Error;
  ItlClErrorInfo& errorInfo = *index->errorInfo;
  itlApiReset(errorInfo);
  if (name == nullptr || index->mapping == nullptr)
    return itlApiCheckFailed(errorInfo, DOCMAP_ORIGIN(876),
                             ItlEnReasonCode_Invalid_argument);
  // The longest name is the configuration's on disk.
  if (index->toLoad != nullptr &&
      itlApiGuarded(errorInfo, DOCMAP_ORIGIN(879),
                    [&] { loadIfAsked(*index); }) != ItlEnReturnCode_Success)
    return errorInfo.getReturnCode();
  uint16_t maxLength = index->config->getMaxDocIDLength();
  if (length > maxLength)
    return itlApiCheckFailed(errorInfo, DOCMAP_ORIGIN(882),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, DOCMAP_ORIGIN(900), [&] {
    ItlCosAllocWrapper buffer(CosClMemoryManager::allocate(maxLength + 1u));
    std::memset(buffer.get(), 0, maxLength + 1u);
    std::memcpy(buffer.get(), name, length);
    _ItlStDocumentId id{static_cast<char const*>(buffer.get()), length};
    if (assign) {
      uint64_t number = 0;
      bool isNew = false;
      index->mapping->assignDocumentNameToNumber(&id, &number, isNew);
    } else {
      index->mapping->deleteDocumentName(&id);
    }
  });
}

ItlEnReturnCode itlApiToolNameMapFinalize(ItlStDocMapToolIndex const* index) {
  return onPart(index, index != nullptr ? index->mapping : nullptr,
                ItlEnReturnCode_Error, DOCMAP_ORIGIN(926),
                [](ItlClDocumentNameMapping& mapping) {
                  mapping.onIndexFileEndTransaction();
                  mapping.onIndexFileCommitTransaction();
                });
}

ItlEnReturnCode itlApiToolNameMapMerge(ItlStDocMapToolIndex const* index) {
  return onPart(index, index != nullptr ? index->mapping : nullptr,
                ItlEnReturnCode_Error, DOCMAP_ORIGIN(948),
                [](ItlClDocumentNameMapping& mapping) {
                  mapping.onIndexFileEndMergeTransaction();
                  mapping.onIndexFileCommitMergeTransaction();
                });
}

ItlEnReturnCode itlApiToolDisplayFieldNameMap(ItlStDocMapToolIndex const* index,
                                       FILE* stream) {
  ItlClFieldNameMap* map =
      index != nullptr && stream != nullptr ? index->fieldNameMap : nullptr;
  return onPart(index, map, ItlEnReturnCode_Error, INDEX_ORIGIN(79),
                [&](ItlClFieldNameMap& m) {
                  m.display(stream);
                  std::fflush(stream);
                });
}

ItlEnReturnCode itlApiToolDisplayAttributeNameMap(ItlStDocMapToolIndex const* index,
                                           FILE* stream) {
  ItlClAttributeNameMap* map =
      index != nullptr && stream != nullptr ? index->attributeNameMap : nullptr;
  return onPart(index, map, ItlEnReturnCode_Error, INDEX_ORIGIN(58),
                [&](ItlClAttributeNameMap& m) {
                  m.getNumericMap().display(stream);
                  std::fflush(stream);
                });
}

ItlEnReturnCode itlApiTool32To64FieldNameMap(ItlStDocMapToolIndex const* index) {
  return onPart(index, index != nullptr ? index->fieldNameMap : nullptr,
                ItlEnReturnCode_Error, INDEX_ORIGIN(101),
                [](ItlClFieldNameMap& m) { m.convert32To64(); });
}

ItlEnReturnCode itlApiTool32To64AttributeNameMap(ItlStDocMapToolIndex const* index) {
  return onPart(index, index != nullptr ? index->attributeNameMap : nullptr,
                ItlEnReturnCode_Error, INDEX_ORIGIN(122),
                [](ItlClAttributeNameMap& m) {
                  m.getNumericMap().convert32To64();
                  m.getStringMap().convert32To64();
                });
}
