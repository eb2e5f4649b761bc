// itl_insoparser.hpp: the parser of documents read through the outside
// document-filter libraries (format INSO, 100004).
//
// The data-access library "libsc_da" and the content-access library
// "libsc_ca" are loaded by name at construction (from a directory, or by
// the dynamic loader's search when it is empty) and checked and
// initialised by init. Per document the filter reads the caller's raw
// bytes through the redirected-input callbacks of this parser and delivers
// text, break characters and document properties; properties become fields
// and attributes by the INSO model or, without one, a field for each
// default-field property. Only index modus produces anything.
//
// Errors: missing libraries 670, missing procedures 671, filter failures
// 672 (context: the status name), filter initialisation out of memory 2,
// more than 512 open properties 39; ItlClException, return code 8, action
// Inform. A failed document is closed in the filter before the exception
// leaves (content and document, whatever failed), and the parser serves
// the next document.
#ifndef ITL_INSOPARSER_HPP
#define ITL_INSOPARSER_HPP

#include <cstdint>

#include "cos_dll.hpp"
#include "itl_filter_interface.hpp"
#include "itl_inso_tag_table.hpp"
#include "itl_parser.hpp"

class ItlClInsoModel;

// The document properties open in the filter's element stream.
class ItlClActiveINSOTagStack {
 public:
  static constexpr unsigned kMaxEntries = 512;
  struct Entry {
    _ItlStINSOTagInfo const* row;
    uint16_t depth;
    uint8_t fieldStarted;
    uint8_t attributeStarted;
  };

  ItlClActiveINSOTagStack() : iv_usCount(0) {}
  // The new entry (flags cleared); reason 39 when kMaxEntries are open.
  Entry& push(_ItlStINSOTagInfo const* row, uint16_t depth);
  // REQUIRES: !isEmpty().
  Entry& top() { return iv_astEntries[iv_usCount - 1]; }
  void pop() {
    if (iv_usCount > 0) --iv_usCount;
  }
  bool isEmpty() const { return iv_usCount == 0; }
  uint16_t getCount() const { return iv_usCount; }
  void clear() { iv_usCount = 0; }

 private:
  Entry iv_astEntries[kMaxEntries];
  uint16_t iv_usCount;
};

class ItlClParserINSO : public ItlClParserABase {
 public:
  // Loads "<directory>/libsc_ca" and "<directory>/libsc_da" (bare names
  // for a null or empty directory); failures show at init.
  ItlClParserINSO(ItlClErrorInfo& errorInfo, char const* directory,
                  ItlClDocumentModels const& models);
  // DADeInit when resolved (a failure is warning 672), then the libraries.
  ~ItlClParserINSO() override;

  void init() override;
  void startDocument(ItlEnParserModus modus, ItlClTlDocument* document,
                     ItlClTextCollector* collector,
                     ItlClDocumentOffsetMapper* mapper,
                     char const* modelName) override;
  void processDocument(ItlClDocumentInputScanner& scanner) override;
  void endDocument() override {}
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Inso;
  }
  // Always 1208: the filter reads the bytes itself.
  void scanHeaderInformationCCSID(char const* data, unsigned int length,
                                  unsigned short& ccsid) override;

  // The name of a filter status; "unknown INSO error" for others.
  static char const* mapInsoError(int32_t status);

  // The redirected-input record's state, for the callbacks.
  uint8_t const* iv_pucReadPosition;
  uint8_t const* iv_pucStart;
  uint8_t const* iv_pucEnd;

 private:
  void actionOnTag(ItlStINSOContentElement const& element, bool begin);
  void handleElement(ItlStINSOContentElement const& element);
  // Reason 672 with the status name.
  [[noreturn]] void raiseInsoError(char const* origin, unsigned line,
                                   int32_t status) const;

  ItlClInsoModel const* iv_pclModel;  // not owned
  CosClDllProcLoaderFile iv_clContentAccess;
  CosClDllProcLoaderFile iv_clDataAccess;
  ItlPfnCAOpenContent iv_pfnCAOpenContent;
  ItlPfnCACloseContent iv_pfnCACloseContent;
  ItlPfnCAReadFirst iv_pfnCAReadFirst;
  ItlPfnCAReadNext iv_pfnCAReadNext;
  ItlPfnDAInit iv_pfnDAInit;
  ItlPfnDADeInit iv_pfnDADeInit;
  ItlPfnDAOpenDocument iv_pfnDAOpenDocument;
  ItlPfnDACloseDocument iv_pfnDACloseDocument;
  ItlPfnDASetOption iv_pfnDASetOption;
  uint32_t iv_uiDocumentHandle;
  uint32_t iv_uiContentHandle;
  uint32_t iv_uiSpecType;  // 13: redirected input
  uint32_t iv_uiOpenFlags;
  ItlClActiveINSOTagStack iv_clTagStack;
  _ItlStINSOTagInfo const** iv_ppstTagIndex;  // 100 entries, owned
  ItlStINSORedirectedIO iv_stRedirectedIO;
  unsigned short iv_ausContentBuffer[ITL_INSO_CONTENT_BUFFER_SIZE / 2];
  int32_t iv_iNestingDepth;  // begins minus ends, never below 0
  bool iv_bInitialised;      // DAInit succeeded
};

// The redirected-input callbacks (the record's owner is the parser).
extern "C" {
int32_t itlINSOIOClose(void* record);
int32_t itlINSOIORead(void* record, uint8_t* buffer, uint32_t size,
                      uint32_t* count);
int32_t itlINSOIOWrite(void* record, uint8_t* buffer, uint32_t size,
                       uint32_t* count);
int32_t itlINSOIOSeek(void* record, uint16_t origin, int32_t offset);
int32_t itlINSOIOTell(void* record, uint32_t* offset);
int32_t itlINSOIOGetInfo(void* record, uint32_t id, void* data);
}

#endif  // ITL_INSOPARSER_HPP
