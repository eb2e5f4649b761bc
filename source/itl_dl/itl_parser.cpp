// itl_parser.cpp: the parser base and the parser factory (see the header).
#include "itl_parser.hpp"

#include <sys/stat.h>

#include "cos_memmgr.hpp"
#include "itl_error.hpp"
#include "itl_gppparser.hpp"
#include "itl_htmlparser.hpp"
#include "itl_insoparser.hpp"
#include "itl_textparser.hpp"
#include "itl_xmlparser.hpp"

ItlClParserABase::ItlClParserABase(ItlClErrorInfo& errorInfo,
                                   ItlClDocumentModels const& models)
    : iv_enModus(ItlEnParserModus_None),
      iv_pclTlDocument(nullptr),
      iv_pclTextCollector(nullptr),
      iv_pclOffsetMapper(nullptr),
      iv_rclDocumentModels(models),
      iv_rclErrorInfo(errorInfo) {}

ItlClParserABase::~ItlClParserABase() = default;

void* ItlClParserABase::operator new(size_t size) {
  return CosClMemoryManager::allocate(static_cast<unsigned int>(size));
}

void ItlClParserABase::operator delete(void* p) { CosClMemoryManager::free(p); }

void ItlClParserABase::init() {}

void ItlClParserABase::startDocument(ItlEnParserModus modus,
                                     ItlClTlDocument* document,
                                     ItlClTextCollector* collector,
                                     ItlClDocumentOffsetMapper* mapper,
                                     char const* /*modelName*/) {
  iv_enModus = modus;
  iv_pclTlDocument = document;
  iv_pclTextCollector = collector;
  iv_pclOffsetMapper = mapper;
}

void ItlClParserABase::endDocument() {
  iv_enModus = ItlEnParserModus_None;
  iv_pclTlDocument = nullptr;
  iv_pclTextCollector = nullptr;
  iv_pclOffsetMapper = nullptr;
}

void ItlClParserABase::scanHeaderInformationCCSID(char const* data,
                                                  unsigned int length,
                                                  unsigned short& ccsid) {
  unsigned n = length < 128 ? length : 128;
  unsigned short ascii = 0;
  unsigned short ebcdic = 0;
  for (unsigned i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(data[i]);
    if (c == 0x0A || (c >= 0x20 && c <= 0x7F))
      ++ascii;
    else if (c == 0x15 || (c >= 0x80 && c <= 0xA9) || (c >= 0xC1 && c <= 0xE9))
      ++ebcdic;
  }
  ccsid = ascii > ebcdic ? 819 : 500;
}

ItlClParserFactory::ItlClParserFactory() : iv_pclParser(nullptr) {}

ItlClParserFactory::~ItlClParserFactory() { delete iv_pclParser; }

// Registration point of the parsers: the formats whose parser exists. A
// format not listed here gives false from selectParser.
static ItlClParserABase* itlCreateParser(ItlEnDocumentFormat format,
                                         ItlClErrorInfo& errorInfo,
                                         char const* insoDirectory,
                                         ItlClDocumentModels const& models) {
  switch (format) {
    case ItlEnDocumentFormat_Text:
      return new ItlClParserText(errorInfo, models);
    case ItlEnDocumentFormat_Html:
      return new ItlClParserHTML(errorInfo, models);
    case ItlEnDocumentFormat_Xml:
      return new ItlClParserXML(errorInfo, models);
    case ItlEnDocumentFormat_Structured:
      return new ItlClParserGpp(errorInfo, models);
    case ItlEnDocumentFormat_Inso: {
      // The libraries load from the directory by their full names; the
      // working directory is never changed. A missing directory is a
      // warning, and the libraries are then looked for by bare name.
      char const* directory = insoDirectory != nullptr ? insoDirectory : "";
      struct stat st;
      if (*directory != '\0' &&
          (::stat(directory, &st) != 0 || !S_ISDIR(st.st_mode))) {
        errorInfo.resetContext(directory);
        errorInfo.setError("source/itl_dl/itl_parser:309",
                           ItlEnReasonCode_Directory_not_found,
                           ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
        directory = "";
      }
      return new ItlClParserINSO(errorInfo, directory, models);
    }
    default:
      return nullptr;
  }
}

bool ItlClParserFactory::selectParser(ItlClErrorInfo& errorInfo,
                                      ItlEnDocumentFormat format,
                                      char const* insoDirectory,
                                      ItlClDocumentModels const& models,
                                      ItlClParserABase*& parser) {
  if (iv_pclParser != nullptr && iv_pclParser->getDocumentFormat() == format) {
    parser = iv_pclParser;
    return true;
  }
  parser = nullptr;
  ItlClParserABase* created =
      itlCreateParser(format, errorInfo, insoDirectory, models);
  if (created == nullptr) return false;
  try {
    created->init();
  } catch (...) {
    delete created;
    throw;
  }
  delete iv_pclParser;
  iv_pclParser = created;
  parser = created;
  return true;
}
