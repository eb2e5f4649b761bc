// itl_index_update.cpp: one update transaction on an index.
#include "itl_index_update.hpp"

#include <cstring>
#include <new>

#include "cos_converter.hpp"
#include "cos_language.hpp"
#include "cos_memmgr.hpp"
#include "itl_attribute.hpp"
#include "itl_context.hpp"
#include "itl_cos_interface.hpp"
#include "itl_docid.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_config.hpp"
#include "itl_index_file.hpp"
#include "itl_index_stw.hpp"
#include "itl_index_tl_port.hpp"
#include "itl_kernel_interface.hpp"
#include "itl_managed_object.hpp"
#include "itl_name_maps.hpp"
#include "itl_parser.hpp"
#include "itl_tldocument.hpp"
#include "files/voz_records_create.hpp"

namespace {

#define ITL_UPDATE_ORIGIN "source/itl_index/itl_index_update"

constexpr uint16_t kUtf8 = 1208;
// Context line "Memory Pool (InitialSize/GrowthSize)".
constexpr int kMsgMemoryPool = 23;

ItlUpdateEngineTestHook gs_pfuEngineTestHook = nullptr;

// An error raised again with another action (the update's own rule that an
// error in a current document, or an engine failure, needs a rollback).
class ItlClUpdateError : public ItlClException {
 public:
  ItlClUpdateError(ItlClException const& e, ItlEnErrorAction action)
      : ItlClException(e) {
    setCodes(getReturnCode(), getReasonCode(), action);
  }
  ItlClUpdateError(ItlClErrorData const& data, char const* origin,
                   ItlEnErrorAction action)
      : ItlClException(origin, 0, data.getReasonCode()) {
    static_cast<ItlClErrorData&>(*this) = data;
    setCodes(data.getReturnCode(), data.getReasonCode(), action);
  }
};

[[noreturn]] void raise(char const* origin, unsigned line,
                        ItlEnReasonCode reason,
                        ItlEnErrorAction action = ItlEnErrorAction_Rollback) {
  ItlClException(origin, line, reason, ItlEnReturnCode_Error, action).raise();
}

}  // namespace

void itlSetUpdateEngineTestHook(ItlUpdateEngineTestHook hook) {
  gs_pfuEngineTestHook = hook;
}

ItlClIndexUpdate::ItlClIndexUpdate(ItlClIndex& index)
    : iv_rclIndex(index),
      iv_rclErrorInfo(index.getErrorInfo()),
      iv_pclPool(nullptr),
      iv_pclParsers(nullptr),
      iv_pclScanner(nullptr),
      iv_pclDocument(nullptr),
      iv_pclConverter(nullptr),
      iv_bProcessed(false),
      iv_bDocumentInProgress(false),
      iv_bStarted(false),
      iv_bRollbackRequired(false),
      iv_ui64Current(0) {}

ItlClIndexUpdate::~ItlClIndexUpdate() {
  if (iv_bStarted || iv_ui64Current != 0) {
    try {
      rollback();
    } catch (...) {
      // A destructor never throws; the engine's destructor cancels what is
      // still open.
    }
  }
  itlDeleteObject(iv_pclConverter);
  itlDeleteObject(iv_pclDocument);
  itlDeleteObject(iv_pclScanner);
  itlDeleteObject(iv_pclParsers);
  itlDeleteObject(iv_pclPool);
}

void ItlClIndexUpdate::init() {
  ItlClIndexConfig const& config = iv_rclIndex.getConfig();
  uint32_t initial = config.getMemoryPoolUpdateInitialSize();
  uint32_t growth = config.getMemoryPoolUpdateGrowthSize();
  try {
    iv_pclPool = itlNewObject<CosClMemoryPool>(initial, growth, POOL_THRESHOLD);
  } catch (CosClException const&) {
    iv_pclPool = nullptr;
  }
  if (iv_pclPool == nullptr || iv_pclPool->getCapacityForFirstBlock() == 0) {
    ItlClException e(ITL_UPDATE_ORIGIN ":168", 168,
                     ItlEnReasonCode_Out_of_memory);
    e.context(kMsgMemoryPool) << ": (" << initial << "-" << growth << ")";
    e.raise();
  }
  iv_pclParsers = itlNewObject<ItlClParserFactory>();
  iv_pclScanner = itlNewObject<ItlClDocumentInputScanner>();
  iv_pclDocument = itlNewObject<ItlClTlDocument>(iv_rclIndex.getTlPort());
  iv_pclDocument->init(*iv_pclPool);
}

// ---- rules ------------------------------------------------------------------

void ItlClIndexUpdate::checkRollbackRequired(char const* origin,
                                             unsigned line) const {
  if (iv_bRollbackRequired)
    raise(origin, line, ItlEnReasonCode_Index_rollback_required);
}

void ItlClIndexUpdate::ensureTransactionStartedForUpdate() {
  checkRollbackRequired(ITL_UPDATE_ORIGIN ":678", 678);
  // After process nothing more joins the transaction, also when process
  // found nothing to do.
  if (iv_bProcessed)
    raise(ITL_UPDATE_ORIGIN ":699", 699,
          ItlEnReasonCode_Invalid_calling_sequence);
  if (iv_bStarted) return;
  ItlClIndexCommit::recover(iv_rclIndex, true);
  ItlClStopWordFile const& stopWords = iv_rclIndex.getStopWordFile();
  ItlClKernelInterface& kernel = iv_rclIndex.getKernelInterface();
  kernel.openForUpdate(*iv_pclPool, iv_rclErrorInfo, stopWords.hasStopWords(),
                       stopWords.getFileName().getAsCString());
  try {
    iv_rclIndex.getIndexFileMgr().notifyStartTransaction();
  } catch (...) {
    try {
      kernel.rollbackUpdate();
      iv_rclIndex.getIndexFileMgr().notifyRollbackTransaction();
    } catch (...) {
    }
    throw;
  }
  iv_bStarted = true;
}

uint64_t ItlClIndexUpdate::assignNumber(ItlClDocumentID& id) {
  uint64_t number = id.assignForUpdate();
  if (!id.usesNameMapping())
    id.setNewDocument(!iv_rclIndex.getKernelInterface().hasVozIndexFiles());
  return number;
}

void ItlClIndexUpdate::checkDocumentSequence(ItlClDocumentID& id) {
  uint64_t number = assignNumber(id);
  if (iv_bDocumentInProgress && number != iv_ui64Current)
    raise(ITL_UPDATE_ORIGIN ":725", 725,
          ItlEnReasonCode_Invalid_calling_sequence);
  iv_ui64Current = number;
}

void ItlClIndexUpdate::rethrow(ItlClException const& e) {
  bool engineGone =
      iv_bStarted && !iv_rclIndex.getKernelInterface().isUpdateOpen();
  bool documentBroken =
      iv_ui64Current != 0 && e.getReturnCode() >= ItlEnReturnCode_Error;
  if ((engineGone || documentBroken) &&
      e.getReturnCode() >= ItlEnReturnCode_Error) {
    iv_bRollbackRequired = true;
    if (e.getAction() < ItlEnErrorAction_Rollback)
      ItlClUpdateError(e, ItlEnErrorAction_Rollback).raise();
  }
  throw e;
}

// ---- documents --------------------------------------------------------------

void ItlClIndexUpdate::parseDocument(ItlEnDocumentFormat format,
                                     char const* modelName,
                                     void const* buffer, uint32_t length) {
  (void)format;
  (void)buffer;
  ItlClParserABase* parser = iv_pclParsers->getCurrentParser();
  if (length != 0) {
    parser->startDocument(ItlEnParserModus_Index, iv_pclDocument, nullptr,
                          nullptr, modelName);
    try {
      parser->processDocument(*iv_pclScanner);
    } catch (...) {
      parser->endDocument();
      throw;
    }
    parser->endDocument();
  }
  if (gs_pfuEngineTestHook != nullptr &&
      gs_pfuEngineTestHook(iv_ui64Current) != 0) {
    // A character item longer than the engine's 130 units: the engine
    // refuses it (118) and cancels its cycle, as on any failure.
    CosClMemoryPool& pool = iv_rclIndex.getKernelInterface().getMemoryPool();
    uint32_t bytes = 400;
    auto* text = static_cast<uint8_t*>(
        itlKernelPoolAllocate(pool, bytes, ITL_UPDATE_ORIGIN, __LINE__));
    std::memset(text, 'x', bytes);
    auto* item = static_cast<REGISTITEM*>(itlKernelPoolAllocate(
        pool, sizeof(REGISTITEM), ITL_UPDATE_ORIGIN, __LINE__));
    std::memset(item, 0, sizeof(REGISTITEM));
    item->item_number = 1;
    item->item_type = 'C';
    item->char_ptr = text;
    item->char_len = static_cast<int16_t>(bytes);
    iv_rclIndex.getKernelInterface().addItemAtFront(*item);
  }
  iv_pclDocument->endDocument();
}

void ItlClIndexUpdate::updateDocument(ItlClDocumentID& id,
                                      ItlEnDocumentFormat format,
                                      char const* modelName,
                                      void const* buffer, uint32_t length,
                                      uint16_t& ccsid,
                                      CosClLanguage const& language) {
  // Every failure goes through rethrow: one before the number is assigned
  // still breaks a document whose attributes were set.
  try {
    ItlClParserABase* parser = nullptr;
    char const* location =
        format == ItlEnDocumentFormat_Inso
            ? iv_rclIndex.getConfig().getFormatConverterLocation()
            : "";
    if (location == nullptr) location = "";
    if (!iv_pclParsers->selectParser(iv_rclErrorInfo, format, location,
                                     iv_rclIndex.getDocumentModels(),
                                     parser) ||
        parser == nullptr)
      raise(ITL_UPDATE_ORIGIN ":369", 369,
            ItlEnReasonCode_Document_format_not_supported,
            ItlEnErrorAction_ReProcessDocument);
    char const* bytes = static_cast<char const*>(buffer);
    if (ccsid == 0) {
      unsigned short found = 0;
      parser->scanHeaderInformationCCSID(bytes, length, found);
      ccsid = found;
    }
    bool paragraphs = (format == ItlEnDocumentFormat_Text ||
                       format == ItlEnDocumentFormat_Structured) &&
                      iv_rclIndex.getConfig().getSeparateParagraphs();
    if (length != 0) {
      if (format == ItlEnDocumentFormat_Inso)
        iv_pclScanner->setInputTextNoConv(bytes, length);
      else
        iv_pclScanner->setInputText(*iv_pclPool, bytes, length,
                                    CosClCCSID(ccsid));
    }
    ensureTransactionStartedForUpdate();
    checkDocumentSequence(id);
    iv_pclDocument->setParagraphRecognition(paragraphs);
    iv_pclDocument->startDocument(id, CosClCCSID(ccsid), language);
    parseDocument(format, modelName, buffer, length);
  } catch (ItlClException const& e) {
    rethrow(e);
  } catch (...) {
    if (iv_ui64Current != 0) iv_bRollbackRequired = true;
    throw;
  }
  iv_bDocumentInProgress = false;
  iv_ui64Current = 0;
}

void ItlClIndexUpdate::removeDocument(ItlClDocumentID& id) {
  // Nothing of the map or of the caller's id is touched while a rollback
  // is due.
  checkRollbackRequired(ITL_UPDATE_ORIGIN ":462", 462);
  if (iv_bDocumentInProgress)
    raise(ITL_UPDATE_ORIGIN ":470", 470,
          ItlEnReasonCode_Invalid_calling_sequence);
  ensureTransactionStartedForUpdate();
  try {
    uint64_t number = 0;
    if (id.usesNameMapping()) {
      if (id.getNameLength() == 0) {
        // An id holding only a number: its name first.
        char const* name = nullptr;
        uint32_t length = 0;
        id.obtainName(name, length);
      }
      _ItlStDocumentId name{id.getName(), id.getNameLength()};
      // A name the map does not hold live fails here (303), before any
      // engine call.
      number = iv_rclIndex.getDocumentNameMapping().deleteDocumentName(&name);
      id.clear();
    } else {
      if (!id.hasNumber())
        ItlClException("./headers/itl_common/itl_docid:199", 199,
                       ItlEnReasonCode_Docmap_invalid_docid)
            .raise();
      number = id.getNumber();
    }
    iv_ui64Current = number;
    iv_rclIndex.getKernelInterface().removeDocument(number);
    iv_ui64Current = 0;
  } catch (ItlClException const& e) {
    rethrow(e);
  } catch (...) {
    if (iv_ui64Current != 0) iv_bRollbackRequired = true;
    throw;
  }
}

// ---- attributes -------------------------------------------------------------

uint16_t ItlClIndexUpdate::startAttribute(ItlClDocumentID& id,
                                          char const* name,
                                          ItlEnAttributeType type) {
  ensureTransactionStartedForUpdate();
  uint64_t number = assignNumber(id);
  if (iv_ui64Current != 0 && number != iv_ui64Current)
    raise(ITL_UPDATE_ORIGIN ":612", 612,
          ItlEnReasonCode_Invalid_calling_sequence);
  iv_rclIndex.getKernelInterface().addingToDocument(number,
                                                    id.isNewDocument());
  iv_ui64Current = number;
  iv_bDocumentInProgress = true;
  unsigned short attribute = 0;
  bool isNew = false;
  iv_rclIndex.getAttributeNameMap().assignAttributeNameToNumber(
      name, type, attribute, isNew);
  return attribute;
}

void ItlClIndexUpdate::setDateAttribute(ItlClDocumentID& id,
                                        char const* name, uint16_t day,
                                        uint16_t month, uint16_t year) {
  try {
    uint16_t attribute = startAttribute(id, name, ItlEnAttributeType_Date);
    iv_rclIndex.getKernelInterface().addNumberItem(
        attribute, ItlClAttributeParserDate::codeDate(day, month, year));
  } catch (ItlClException const& e) {
    rethrow(e);
  }
}

void ItlClIndexUpdate::setNumberAttribute(ItlClDocumentID& id,
                                          char const* name, double value) {
  try {
    uint16_t attribute = startAttribute(id, name, ItlEnAttributeType_Number);
    iv_rclIndex.getKernelInterface().addNumberItem(attribute, value);
  } catch (ItlClException const& e) {
    rethrow(e);
  }
}

void ItlClIndexUpdate::setStringAttribute(ItlClDocumentID& id,
                                          char const* name,
                                          char const* value, uint32_t length,
                                          uint16_t ccsid) {
  try {
    if (length > MAX_STRING_ATTRIBUTE_BYTES)
      raise(ITL_UPDATE_ORIGIN ":590", 590, ItlEnReasonCode_Invalid_argument,
            ItlEnErrorAction_Inform);
    uint16_t attribute = startAttribute(id, name, ItlEnAttributeType_String);
    uint16_t source = ccsid == 0 ? kUtf8 : ccsid;
    if (iv_pclConverter == nullptr ||
        iv_pclConverter->getSourceCCSID().getCCSID() != source) {
      itlDeleteObject(iv_pclConverter);
      iv_pclConverter =
          itlNewObject<CosClCodePage2UTF8Converter>(CosClCCSID(source));
    }
    ItlClKernelInterface& kernel = iv_rclIndex.getKernelInterface();
    CosClMemoryPool& pool = kernel.getMemoryPool();
    uint32_t room = iv_pclConverter->getMaximumSizeForSize(length);
    char* utf8 = static_cast<char*>(itlKernelPoolAllocate(
        pool, room != 0 ? room : 1, ITL_UPDATE_ORIGIN, __LINE__));
    uint32_t written =
        length == 0 ? 0
                    : iv_pclConverter->convertBytes(utf8, room, value, length);
    ItlClCosInterface::handleCosError(
        "./headers/itl_index/itl_kernel_interface:569", 569,
        iv_pclConverter->getError());
    bool cut = false;
    uint32_t kept =
        ItlClAttributeParserString::keptValueBytes(utf8, written, cut);
    kernel.addStringItem(attribute, CosClCCSID(kUtf8), utf8, kept);
    if (cut)
      iv_rclErrorInfo.setError(ITL_UPDATE_ORIGIN ":641",
                               ItlEnReasonCode_Attribute_truncated,
                               ItlEnReturnCode_Warning,
                               ItlEnErrorAction_Inform);
  } catch (ItlClException const& e) {
    rethrow(e);
  }
}

// ---- the end of the transaction ---------------------------------------------

void ItlClIndexUpdate::process() {
  checkRollbackRequired(ITL_UPDATE_ORIGIN ":509", 509);
  if (iv_bProcessed || iv_bDocumentInProgress)
    raise(ITL_UPDATE_ORIGIN ":518", 518,
          ItlEnReasonCode_Invalid_calling_sequence);
  if (iv_bStarted) {
    // A failure here leaves the engine's cycle or the index files half
    // processed: only a rollback is left.
    try {
      iv_rclIndex.getKernelInterface().processUpdate();
      iv_rclIndex.getIndexFileMgr().notifyEndTransaction();
    } catch (ItlClException const& e) {
      iv_bRollbackRequired = true;
      if (e.getAction() < ItlEnErrorAction_Rollback &&
          e.getReturnCode() >= ItlEnReturnCode_Error)
        ItlClUpdateError(e, ItlEnErrorAction_Rollback).raise();
      throw;
    } catch (...) {
      iv_bRollbackRequired = true;
      throw;
    }
  }
  iv_bProcessed = true;
}

void ItlClIndexUpdate::commit() {
  checkRollbackRequired(ITL_UPDATE_ORIGIN ":554", 554);
  if (!iv_bProcessed)
    raise(ITL_UPDATE_ORIGIN ":563", 563,
          ItlEnReasonCode_Invalid_calling_sequence);
  if (iv_bStarted) {
    try {
      ItlClIndexCommit(iv_rclIndex).commitUpdate();
    } catch (...) {
      // What the commit left is finished or undone by the next start (its
      // recovery); this transaction can only be rolled back.
      iv_bRollbackRequired = true;
      throw;
    }
  }
  iv_bStarted = false;
  iv_bProcessed = false;
}

void ItlClIndexUpdate::rollback() {
  ItlClKernelInterface& kernel = iv_rclIndex.getKernelInterface();
  bool started = iv_bStarted;
  // The state is idle afterwards whatever fails below.
  iv_bStarted = false;
  iv_bProcessed = false;
  iv_bDocumentInProgress = false;
  iv_bRollbackRequired = false;
  iv_ui64Current = 0;
  if (iv_pclDocument != nullptr) iv_pclDocument->reset();
  if (iv_pclScanner != nullptr) iv_pclScanner->reset();
  kernel.rollbackCurrentDocument();
  if (!started) return;
  bool failed = false;
  ItlClException first(ITL_UPDATE_ORIGIN ":800", 800,
                       ItlEnReasonCode_Unexpected_error);
  try {
    kernel.rollbackUpdate();
  } catch (ItlClException const& e) {
    failed = true;
    first = e;
  }
  // The index files drop their working sets even when the engine failed.
  iv_rclIndex.getIndexFileMgr().notifyRollbackTransaction();
  if (iv_pclPool != nullptr) iv_pclPool->deleteAll();
  if (failed) throw first;
}

void ItlClIndexUpdate::reset() {
  if (iv_ui64Current != 0 &&
      iv_rclErrorInfo.getReturnCode() >= ItlEnReturnCode_Error &&
      iv_rclErrorInfo.getAction() < ItlEnErrorAction_Rollback) {
    iv_bRollbackRequired = true;
    char const* origin = iv_rclErrorInfo.getOrigin();
    iv_rclErrorInfo.setError(
        ItlClUpdateError(iv_rclErrorInfo,
                         origin != nullptr ? origin : ITL_UPDATE_ORIGIN ":0",
                         ItlEnErrorAction_Rollback));
  }
  iv_pclScanner->reset();
  iv_rclIndex.getKernelInterface().rollbackCurrentDocument();
  iv_bDocumentInProgress = false;
  iv_ui64Current = 0;
  iv_pclDocument->reset();
  iv_pclPool->deleteAll();
}
