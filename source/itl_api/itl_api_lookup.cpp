// itl_api_lookup.cpp: the exported lookups of field and attribute names
// and of document names and numbers. They only read: a lookup never
// starts a transaction of the maps, so an update on the same index
// afterwards runs as it would without it.
#include <vector>

#include "itl_api_frame.hpp"
#include "itl_api_lookup.h"
#include "itl_api_search_handle.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_index_config.hpp"
#include "itl_index_commit.hpp"
#include "itl_name_maps.hpp"

#define ITL_LU_POS ITL_API_POS("itl_api_lookup")

namespace {

// The buffer that itlDocMapNumberToId hands out, one per thread.
thread_local std::vector<char> tl_aNameBuffer;

}  // namespace

ItlEnReturnCode itlFieldMapNameToNumber(ItlTyIndexSearchHandle search,
                                        char const* name,
                                        ItlTyFieldNumber* number) {
  ItlClApiTrace trace(ITL_LU_POS);
  trace.text("field name", name);
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch& object = *itlApiIndexSearch(search);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (name == nullptr || number == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_LU_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_LU_POS, [&] {
    unsigned short found = 0;
    ItlClIndexCommit::refreshNameMaps(object.getIndex());
    object.getIndex().getFieldNameMap().mapFieldNameToNumber(name, found);
    *number = found;
  });
}

ItlEnReturnCode itlAttributeMapNameToNumber(ItlTyIndexSearchHandle search,
                                            char const* name,
                                            ItlEnAttributeType type,
                                            ItlTyAttributeNumber* number) {
  ItlClApiTrace trace(ITL_LU_POS);
  trace.text("attribute name", name);
  trace.int32("attribute type", type);
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch& object = *itlApiIndexSearch(search);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (name == nullptr || number == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_LU_POS,
                             ItlEnReasonCode_Invalid_argument);
  if (type != ItlEnAttributeType_String &&
      type != ItlEnAttributeType_Number && type != ItlEnAttributeType_Date) {
    // No map answers another type: a defined number and an error.
    *number = 0;
    return itlApiCheckFailed(errorInfo, ITL_LU_POS,
                             ItlEnReasonCode_Invalid_argument);
  }
  return itlApiGuarded(errorInfo, ITL_LU_POS, [&] {
    unsigned short found = 0;
    ItlClIndexCommit::refreshNameMaps(object.getIndex());
    object.getIndex().getAttributeNameMap().mapAttributeNameToNumber(
        name, type, found);
    *number = found;
  });
}

ItlEnReturnCode itlDocMapIdToNumber(ItlTyIndexSearchHandle search,
                                    ItlStDocumentId const* id,
                                    ItlTyDocumentNumber* number) {
  ItlClApiTrace trace(ITL_LU_POS);
  if (id != nullptr && id->pszDocId != nullptr)
    trace.dump(CosEnTraceDataType::CSTRING, "ItlStDocumentId", id->pszDocId,
               id->usDocIdLength);
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch& object = *itlApiIndexSearch(search);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (id == nullptr || number == nullptr ||
      (id->pszDocId == nullptr && id->usDocIdLength != 0))
    return itlApiCheckFailed(errorInfo, ITL_LU_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_LU_POS, [&] {
    ItlClDocumentNameMapping& mapping =
        object.getIndex().getDocumentNameMapping();
    // The committed maps; while a transaction of this index object is
    // open its working set is loaded and answers instead.
    if (!mapping.isTransactionOpen()) mapping.access4Read();
    uint64_t found = 0;
    mapping.getDex().obtainDocNumber(id, &found, mapping.getDeletedDocs());
    *number = found;
  });
}

ItlEnReturnCode itlDocMapNumberToId(ItlTyIndexSearchHandle search,
                                    ItlTyDocumentNumber number,
                                    ItlStDocumentId* id) {
  ItlClApiTrace trace(ITL_LU_POS);
  trace.dump(CosEnTraceDataType::UINT64, "ItlTyDocumentNumber", &number, 8);
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch& object = *itlApiIndexSearch(search);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (id == nullptr || number == 0)
    return itlApiCheckFailed(errorInfo, ITL_LU_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_LU_POS, [&] {
    ItlClIndex& index = object.getIndex();
    ItlClIndexConfig const& config = index.getConfig();
    uint16_t size = config.getMaxDocIDLength();
    // The map writes up to the name size into the buffer.
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    ItlStDocumentId found{buffer.data(), 0};
    index.getDocumentNameMapping().mapNumberToDocumentName(number, &found);
    uint16_t length = found.usDocIdLength;
    if (config.getDocNamesHaveFixSize()) {
      // Fixed names fill their slot; the name ends at its first zero.
      length = size;
      while (length > 0 && buffer[length - 1] == '\0') --length;
    }
    buffer.resize(length);
    tl_aNameBuffer.swap(buffer);
    id->pszDocId = tl_aNameBuffer.data();
    id->usDocIdLength = length;
  });
}
