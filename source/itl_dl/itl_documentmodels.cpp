// itl_documentmodels.cpp: the document-model store (see the header).
#include "itl_documentmodels.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cos_memmgr.hpp"
#include "itl_documentmodel.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_gppmodel.hpp"
#include "itl_htmlmodel.hpp"
#include "itl_index_location.hpp"
#include "itl_insomodel.hpp"
#include "itl_model_raise.hpp"
#include "itl_model_trace.hpp"
#include "itl_xmlp_interface.hpp"

namespace {

char const ITL_MODEL_FILE_EXTENSION[] = "mox";
char const ITL_MODEL_DIRECTORY_FILE_EXTENSION[] = "mdx";
// The directory is written here first, then renamed over the directory.
char const ITL_MODEL_DIRECTORY_TEMP_EXTENSION[] = "mdx$";
char const ITL_UTF8STR_UTF8[] = "UTF-8";
char const ITL_UTF8STR_MODEL_DIRECTORY_TAG[] = "ModelDirectory";
char const ITL_UTF8STR_MODEL_ENTRY_TAG[] = "ModelEntry";
char const ITL_UTF8STR_PARAMETER_NAME[] = "name";
char const ITL_UTF8STR_PARAMETER_TYPE[] = "type";
char const ITL_UTF8STR_PARAMETER_OFFSET[] = "offset";
char const ITL_UTF8STR_PARAMETER_ISDEFAULT[] = "isdefault";
char const ITL_UTF8STR_GPP_MODEL_TAG[] = "GPPModel";
char const ITL_UTF8STR_HTML_MODEL_TAG[] = "HTMLModel";
char const ITL_UTF8STR_XML_MODEL_TAG[] = "XMLModel";
char const ITL_UTF8STR_INSO_MODEL_TAG[] = "INSOModel";

constexpr unsigned kDetectWindow = 1024;
constexpr unsigned kDirReadBlock = 4096;
constexpr int kMsgFileName = 3;
constexpr int kMsgDocumentFormat = 9;

#define ITL_DMS_SOURCE ITL_SOURCE("source/itl_dl/itl_documentmodels")

// An exception whose context starts with `first` (a file or a text).
[[noreturn]] void raiseWithFirstLine(char const* origin, unsigned line,
                                     ItlEnReasonCode reason,
                                     char const* first) {
  ItlClException e(origin, line, reason);
  e.resetContext(first);
  e.raise();
}

// The type word of a format in the directory.
char const* typeWord(ItlEnDocumentFormat format) {
  switch (format) {
    case ItlEnDocumentFormat_Structured: return "GPP";
    case ItlEnDocumentFormat_Html: return "HTML";
    case ItlEnDocumentFormat_Xml: return "XML";
    case ItlEnDocumentFormat_Inso: return "INSO";
    default: return "";
  }
}

// Whether `name` is valid UTF-8 without control characters.
bool isWritableName(char const* name) {
  auto const* p = reinterpret_cast<unsigned char const*>(name);
  while (*p != 0) {
    unsigned c = *p;
    if (c < 0x20 || c == 0x7F) return false;
    if (c < 0x80) {
      ++p;
      continue;
    }
    unsigned n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    for (unsigned i = 1; i <= n; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || (cp >= 0x80 && cp <= 0x9F))
      return false;
    p += n + 1;
  }
  return true;
}

void appendEscaped(std::string& out, char const* name) {
  for (char const* p = name; *p != 0; ++p) {
    switch (*p) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      default: out += *p;
    }
  }
}

// Writes all of `data` to `fd`; false on failure.
bool writeAll(int fd, char const* data, size_t size) {
  while (size != 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

extern "C" void itlModelDirParserStartElement(void* userData,
                                              char const* element,
                                              char const** attributes) {
  // Nothing may unwind through Expat: startElement records its failures.
  static_cast<ItlClDocumentModels*>(userData)->startElement(element,
                                                            attributes);
}

ItlClDocumentModels::ItlClDocumentModels(ItlClIndexLocation const& location,
                                         ItlClErrorInfo& errorInfo)
    : ItlClIndexFileBase(location),
      iv_rclErrorInfo(errorInfo),
      iv_pstModels(nullptr),
      iv_usModelArrayCapacity(0),
      iv_usModelCount(0),
      iv_pclDefaultGpp(nullptr),
      iv_pclDefaultHtml(nullptr),
      iv_pclDefaultXml(nullptr),
      iv_pclDefaultInso(nullptr),
      iv_uiModelFileSize(0),
      iv_pModelFile(nullptr),
      iv_bDirFailed(false),
      iv_bDirRootSeen(false) {}

ItlClDocumentModels::~ItlClDocumentModels() {
  closeStream();
  freeArray();
}

CosClFilename ItlClDocumentModels::getModelFileName() const {
  return CosClFilename(iv_rclLocation.getIndexDirectory(),
                       iv_rclLocation.getIndexName(), ITL_MODEL_FILE_EXTENSION);
}

CosClFilename ItlClDocumentModels::getModelDirFileName() const {
  return CosClFilename(iv_rclLocation.getIndexDirectory(),
                       iv_rclLocation.getIndexName(),
                       ITL_MODEL_DIRECTORY_FILE_EXTENSION);
}

CosClFilename ItlClDocumentModels::getDirTempFileName() const {
  return CosClFilename(iv_rclLocation.getIndexDirectory(),
                       iv_rclLocation.getIndexName(),
                       ITL_MODEL_DIRECTORY_TEMP_EXTENSION);
}

ItlClDocumentModelABase* ItlClDocumentModels::getModelAt(
    unsigned short position) const {
  return iv_pstModels[position].model;
}

uint32_t ItlClDocumentModels::getModelOffset(unsigned short position) const {
  return iv_pstModels[position].offset;
}

char const* ItlClDocumentModels::getFormatAsString(ItlEnDocumentFormat format) {
  switch (format) {
    case ItlEnDocumentFormat_Text: return "TEXT";
    case ItlEnDocumentFormat_Html: return "HTML";
    case ItlEnDocumentFormat_Xml: return "XML";
    case ItlEnDocumentFormat_Structured: return "STRUCTURED";
    case ItlEnDocumentFormat_Inso: return "INSO";
    default: return "";
  }
}

// ---------------------------------------------------------------------------
// The table.

void ItlClDocumentModels::enlargeArray() {
  if (iv_usModelArrayCapacity > 65519)
    itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_models_overflow);
  unsigned capacity =
      iv_usModelArrayCapacity == 0 ? 31 : iv_usModelArrayCapacity + 16u;
  itlModelTraceUInt("ItlClDocumentModels::enlargeArray",
                    "iv_usModelArrayCapacity (old)", iv_usModelArrayCapacity);
  iv_pstModels = static_cast<Entry*>(CosClMemoryManager::realloc(
      iv_pstModels, static_cast<unsigned>(capacity * sizeof(Entry))));
  iv_usModelArrayCapacity = static_cast<unsigned short>(capacity);
  itlModelTraceUInt("ItlClDocumentModels::enlargeArray",
                    "iv_usModelArrayCapacity (new)", iv_usModelArrayCapacity);
}

void ItlClDocumentModels::freeArray() {
  for (unsigned i = 0; i < iv_usModelCount; ++i) delete iv_pstModels[i].model;
  if (iv_pstModels != nullptr) CosClMemoryManager::free(iv_pstModels);
  iv_pstModels = nullptr;
  iv_usModelArrayCapacity = 0;
  iv_usModelCount = 0;
  iv_pclDefaultGpp = iv_pclDefaultHtml = iv_pclDefaultXml =
      iv_pclDefaultInso = nullptr;
}

bool ItlClDocumentModels::findModelIdx(char const* name,
                                       ItlEnDocumentFormat format,
                                       unsigned short& position) const {
  for (unsigned short i = 0; i < iv_usModelCount; ++i) {
    ItlClDocumentModelABase const* m = iv_pstModels[i].model;
    if (m->getFormat() == format && std::strcmp(m->getName(), name) == 0) {
      position = i;
      return true;
    }
  }
  return false;
}

ItlClDocumentModelABase* ItlClDocumentModels::createModel(
    ItlEnDocumentFormat format, char const* name) const {
  ItlClDocumentModelABase* model = nullptr;
  switch (format) {
    case ItlEnDocumentFormat_Structured:
      model = new ItlClGppModel(iv_rclErrorInfo);
      break;
    case ItlEnDocumentFormat_Html:
      model = new ItlClHtmlModel(iv_rclErrorInfo);
      break;
    case ItlEnDocumentFormat_Inso:
      model = new ItlClInsoModel(iv_rclErrorInfo);
      break;
    case ItlEnDocumentFormat_Xml:
      // The XML model is not built yet: its one place is here.
    default: {
      ItlClException e(ITL_DMS_SOURCE,
                       ItlEnReasonCode_Document_format_not_supported);
      e.context(kMsgDocumentFormat) << ": " << getFormatAsString(format);
      e.raise();
    }
  }
  try {
    model->setName(name);
  } catch (...) {
    delete model;
    throw;
  }
  itlModelTraceText("ItlClDocumentModels::createModel",
                    "model name after setName", model->getName());
  return model;
}

ItlClDocumentModelABase* const* ItlClDocumentModels::defaultSlot(
    ItlEnDocumentFormat format) const {
  switch (format) {
    case ItlEnDocumentFormat_Structured: return &iv_pclDefaultGpp;
    case ItlEnDocumentFormat_Html: return &iv_pclDefaultHtml;
    case ItlEnDocumentFormat_Inso: return &iv_pclDefaultInso;
    default: return &iv_pclDefaultXml;
  }
}

void ItlClDocumentModels::setDefaultModelLocal(ItlClDocumentModelABase* model,
                                               ItlEnDocumentFormat format) {
  switch (format) {
    case ItlEnDocumentFormat_Structured: iv_pclDefaultGpp = model; break;
    case ItlEnDocumentFormat_Html: iv_pclDefaultHtml = model; break;
    case ItlEnDocumentFormat_Xml: iv_pclDefaultXml = model; break;
    case ItlEnDocumentFormat_Inso: iv_pclDefaultInso = model; break;
    default: break;
  }
}

// ---------------------------------------------------------------------------
// Format detection and adding.

void ItlClDocumentModels::detectFormat(char const* text, unsigned int length,
                                       ItlEnDocumentFormat& format) const {
  unsigned window = length < kDetectWindow ? length : kDetectWindow;
  std::string shown(text, window);
  auto const* lt = static_cast<char const*>(std::memchr(text, '<', window));
  while (lt != nullptr) {
    size_t at = static_cast<size_t>(lt - text);
    if (at + 1 < window && (lt[1] == '?' || lt[1] == '!')) {
      size_t from = at + 2;
      lt = from < window ? static_cast<char const*>(
                               std::memchr(text + from, '<', window - from))
                         : nullptr;
      continue;
    }
    break;
  }
  if (lt == nullptr)
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_syntax_error,
                       shown.c_str());
  size_t at = static_cast<size_t>(lt - text) + 1;
  auto starts = [&](char const* root) {
    return window - at >= 3 && std::memcmp(text + at, root, 3) == 0;
  };
  if (starts(ITL_UTF8STR_GPP_MODEL_TAG)) {
    format = ItlEnDocumentFormat_Structured;
  } else if (starts(ITL_UTF8STR_HTML_MODEL_TAG)) {
    format = ItlEnDocumentFormat_Html;
  } else if (starts(ITL_UTF8STR_XML_MODEL_TAG)) {
    format = ItlEnDocumentFormat_Xml;
  } else if (starts(ITL_UTF8STR_INSO_MODEL_TAG)) {
    format = ItlEnDocumentFormat_Inso;
  } else {
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_syntax_error,
                       shown.c_str() + (at - 1));
  }
  itlModelTraceText("ItlClDocumentModels::detectFormat", "Model for format",
                    getFormatAsString(format));
}

void ItlClDocumentModels::add(char const* name, char const* text,
                              unsigned int length) {
  if (!isWritableName(name))
    itlModelRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_invalid_name, 10,
                  "***");
  if (static_cast<uint64_t>(iv_uiModelFileSize) + length >= kMaxModelFileSize)
    itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_models_overflow);
  ItlEnDocumentFormat format;
  detectFormat(text, length, format);
  if (iv_usModelArrayCapacity <= iv_usModelCount) enlargeArray();
  unsigned short existing;
  if (findModelIdx(name, format, existing))
    itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_model_already_exists);

  ItlClDocumentModelABase* model = createModel(format, name);
  try {
    model->loadFromBuffer(text, length);
  } catch (ItlClException& e) {
    model->addParsingContext(e);
    delete model;
    throw;
  } catch (...) {
    delete model;
    throw;
  }

  // List the model first, at the size accounted for, then write its bytes
  // there: a failure or kill in between leaves the earlier models whole.
  uint32_t offset = iv_uiModelFileSize;
  iv_pstModels[iv_usModelCount].model = model;
  iv_pstModels[iv_usModelCount].offset = offset;
  model->setTablePosition(iv_usModelCount);
  try {
    saveModelDir(iv_usModelCount + 1u);
  } catch (...) {
    delete model;
    throw;
  }
  try {
    writeDefinition(text, length);
  } catch (...) {
    delete model;
    // Unlist it again; the model file was cut back to its old size.
    try {
      saveModelDir(iv_usModelCount);
    } catch (...) {
      // The entry points at the end of the model file: the next read of
      // the directory drops it.
    }
    throw;
  }
  ++iv_usModelCount;
  iv_uiModelFileSize = offset + length;
  itlModelTraceUInt("ItlClDocumentModels::add", "iv_uiModelFileSize",
                    iv_uiModelFileSize);
}

void ItlClDocumentModels::writeDefinition(char const* text,
                                          unsigned int length) {
  CosClFilename file = getModelFileName();
  closeStream();
  int fd = -1;
  bool ok = !itlFileOpRefused("write", file) &&
            (fd = ::open(file, O_RDWR | O_CREAT | O_CLOEXEC, 0660)) >= 0;
  if (!ok)
    itlModelRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Io_write_error, kMsgFileName,
                  file);
  off_t start = static_cast<off_t>(iv_uiModelFileSize);
  ok = ::lseek(fd, start, SEEK_SET) == start && writeAll(fd, text, length) &&
       ::ftruncate(fd, start + static_cast<off_t>(length)) == 0 &&
       !itlFileOpRefused("fsync", file) && ::fsync(fd) == 0;
  if (!ok) {
    // Cut back what was written, so that the accounted size holds.
    if (::ftruncate(fd, start) == 0) (void)::fsync(fd);
    ::close(fd);
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_write_error, file);
  }
  ::close(fd);
}

// ---------------------------------------------------------------------------
// Defaults and look-up.

void ItlClDocumentModels::setDefaultModel(char const* name,
                                          ItlEnDocumentFormat format) {
  unsigned short position;
  if (!findModelIdx(name, format, position))
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_model_unknown,
                       name);
  ensureModelLoaded(position);
  ItlClDocumentModelABase* old = *defaultSlot(format);
  setDefaultModelLocal(iv_pstModels[position].model, format);
  try {
    saveModelDir(iv_usModelCount);
  } catch (...) {
    setDefaultModelLocal(old, format);
    throw;
  }
}

void ItlClDocumentModels::resetDefaultModel(ItlEnDocumentFormat format) {
  if (format != ItlEnDocumentFormat_Structured &&
      format != ItlEnDocumentFormat_Html && format != ItlEnDocumentFormat_Xml &&
      format != ItlEnDocumentFormat_Inso) {
    ItlClException e(ITL_DMS_SOURCE, ItlEnReasonCode_Invalid_argument);
    e.context(kMsgDocumentFormat) << ": " << static_cast<int32_t>(format);
    e.raise();
  }
  ItlClDocumentModelABase* old = *defaultSlot(format);
  setDefaultModelLocal(nullptr, format);
  try {
    saveModelDir(iv_usModelCount);
  } catch (...) {
    setDefaultModelLocal(old, format);
    throw;
  }
}

ItlClDocumentModelABase* ItlClDocumentModels::getDocumentModel(
    char const* name, ItlEnDocumentFormat format) const {
  if (name == nullptr) return *defaultSlot(format);
  unsigned short position;
  if (!findModelIdx(name, format, position))
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_model_unknown,
                       name);
  ensureModelLoaded(position);
  return iv_pstModels[position].model;
}

// ---------------------------------------------------------------------------
// The model file.

void ItlClDocumentModels::closeStream() const {
  if (iv_pModelFile != nullptr) std::fclose(iv_pModelFile);
  iv_pModelFile = nullptr;
}

void ItlClDocumentModels::openStreamForReading() const {
  if (iv_pModelFile != nullptr) return;
  CosClFilename file = getModelFileName();
  iv_pModelFile = std::fopen(file, "rb");
  if (iv_pModelFile == nullptr)
    itlModelRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Io_read_error, kMsgFileName,
                  file);
}

void ItlClDocumentModels::ensureModelLoaded(unsigned short position) const {
  ItlClDocumentModelABase* model = iv_pstModels[position].model;
  if (model->isLoaded()) return;
  uint32_t offset = iv_pstModels[position].offset;
  uint32_t end = position + 1u < iv_usModelCount
                     ? iv_pstModels[position + 1].offset
                     : iv_uiModelFileSize;
  uint32_t length = end > offset ? end - offset : 0;
  itlModelTraceUInt("ItlClDocumentModels::ensureModelLoaded", "model index",
                    position);
  itlModelTraceUInt("ItlClDocumentModels::ensureModelLoaded",
                    "uiFilePos (model offset)", offset);
  itlModelTraceUInt("ItlClDocumentModels::ensureModelLoaded",
                    "uiModelDescriptionLength", length);
  openStreamForReading();
  if (std::fseek(iv_pModelFile, static_cast<long>(offset), SEEK_SET) != 0) {
    closeStream();
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_read_error,
                       getModelFileName());
  }
  auto* buffer = static_cast<char*>(CosClMemoryManager::allocate(length + 1));
  try {
    if (std::fread(buffer, 1, length, iv_pModelFile) != length) {
      closeStream();
      raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_read_error,
                         getModelFileName());
    }
    buffer[length] = 0;
    model->loadFromBuffer(buffer, length);
  } catch (ItlClException& e) {
    CosClMemoryManager::free(buffer);
    if (e.getReasonCode() != ItlEnReasonCode_Io_read_error)
      model->addParsingContext(e);
    throw;
  } catch (...) {
    CosClMemoryManager::free(buffer);
    throw;
  }
  CosClMemoryManager::free(buffer);
}

// ---------------------------------------------------------------------------
// The directory.

void ItlClDocumentModels::saveModelDir(unsigned count) const {
  std::string text = "<?xml version=\"1.0\"?> <";
  text += ITL_UTF8STR_MODEL_DIRECTORY_TAG;
  text += ">\n";
  for (unsigned i = 0; i < count; ++i) {
    ItlClDocumentModelABase const* m = iv_pstModels[i].model;
    ItlEnDocumentFormat format = m->getFormat();
    text += "<";
    text += ITL_UTF8STR_MODEL_ENTRY_TAG;
    text += " ";
    text += ITL_UTF8STR_PARAMETER_NAME;
    text += "=\"";
    appendEscaped(text, m->getName());
    text += "\" ";
    text += ITL_UTF8STR_PARAMETER_TYPE;
    text += "=\"";
    text += typeWord(format);
    text += "\" ";
    text += ITL_UTF8STR_PARAMETER_OFFSET;
    text += "=\"";
    text += std::to_string(iv_pstModels[i].offset);
    text += "\"";
    if (*defaultSlot(format) == m) {
      text += " ";
      text += ITL_UTF8STR_PARAMETER_ISDEFAULT;
      text += "=\"1\"";
    }
    text += "/>\n";
  }
  text += "</";
  text += ITL_UTF8STR_MODEL_DIRECTORY_TAG;
  text += ">\n";

  // Temporary file, fsync, rename over the directory, directory fsync.
  CosClFilename temp = getDirTempFileName();
  CosClFilename dir = getModelDirFileName();
  int fd = -1;
  if (itlFileOpRefused("write", temp) ||
      (fd = ::open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0660)) < 0)
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_open_error, dir);
  (void)::fchmod(fd, 0660);
  bool ok = writeAll(fd, text.data(), text.size()) &&
            !itlFileOpRefused("fsync", temp) && ::fsync(fd) == 0;
  bool closed = ::close(fd) == 0;
  if (!ok || !closed) {
    ::unlink(temp);
    raiseWithFirstLine(ITL_DMS_SOURCE,
                       ok ? ItlEnReasonCode_Io_close_error
                          : ItlEnReasonCode_Io_write_error,
                       dir);
  }
  if (itlFileOpRefused("rename", dir) || std::rename(temp, dir) != 0) {
    ::unlink(temp);
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_write_error, dir);
  }
  if (!itlSyncParentDirectory(dir))
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_write_error, dir);
}

void ItlClDocumentModels::loadModelDir() {
  XML_Parser parser = itlExpatCreateParser(ITL_UTF8STR_UTF8);
  if (parser == nullptr)
    itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Xmlparser_can_not_create_expat);
  CosClFilename dir = getModelDirFileName();
  FILE* file = std::fopen(dir, "rb");
  if (file == nullptr) {
    XML_ParserFree(parser);
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_read_error, dir);
  }
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, &itlModelDirParserStartElement, nullptr);
  iv_bDirRootSeen = false;
  iv_bDirFailed = false;

  char block[kDirReadBlock];
  bool parsed = true;
  size_t got;
  do {
    got = std::fread(block, 1, sizeof block, file);
    parsed = XML_Parse(parser, block, static_cast<int>(got), XML_FALSE) ==
             XML_STATUS_OK;
  } while (parsed && got == sizeof block);
  if (parsed) parsed = XML_Parse(parser, nullptr, 0, XML_TRUE) == XML_STATUS_OK;
  if (!parsed) {
    std::fclose(file);
    ItlEnReasonCode reason =
        ItlClXmlPInterface::getItlReasonCodeForXmlPRc(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    itlRaise(ITL_DMS_SOURCE, reason);
  }
  XML_ParserFree(parser);
  if (std::fclose(file) != 0)
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_close_error, dir);
}

void ItlClDocumentModels::startElement(char const* element,
                                       char const** attributes) {
  if (iv_bDirFailed) return;
  try {
    if (!iv_bDirRootSeen) {
      if (std::strcmp(element, ITL_UTF8STR_MODEL_DIRECTORY_TAG) != 0)
        itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_mdx_file_corrupted);
      iv_bDirRootSeen = true;
      return;
    }
    if (std::strcmp(element, ITL_UTF8STR_MODEL_ENTRY_TAG) != 0)
      itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_mdx_file_corrupted);
    readEntry(attributes);
  } catch (ItlClException const& e) {
    iv_bDirFailed = true;
    iv_rclErrorInfo.setError(e);
  } catch (CosClException const& e) {
    iv_bDirFailed = true;
    iv_rclErrorInfo.setError(e);
  } catch (...) {
    iv_bDirFailed = true;
    iv_rclErrorInfo.setError("source/itl_dl/itl_documentmodels:" COS_STRINGIFY(
                                 __LINE__),
                             ItlEnReasonCode_Docmodel_mdx_file_corrupted,
                             ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
  }
}

void ItlClDocumentModels::readEntry(char const** attributes) {
  char const* name = nullptr;
  bool haveType = false;
  bool haveOffset = false;
  bool isDefault = false;
  ItlEnDocumentFormat format = ItlEnDocumentFormat_Text;
  long offset = 0;
  for (char const** a = attributes; a[0] != nullptr; a += 2) {
    char const* key = a[0];
    char const* value = a[1];
    if (std::strcmp(key, ITL_UTF8STR_PARAMETER_NAME) == 0) {
      name = value;
    } else if (std::strcmp(key, ITL_UTF8STR_PARAMETER_TYPE) == 0) {
      switch (value[0]) {
        case 'G': format = ItlEnDocumentFormat_Structured; break;
        case 'H': format = ItlEnDocumentFormat_Html; break;
        case 'X': format = ItlEnDocumentFormat_Xml; break;
        case 'I': format = ItlEnDocumentFormat_Inso; break;
        default:
          itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_mdx_file_corrupted);
      }
      haveType = true;
    } else if (std::strcmp(key, ITL_UTF8STR_PARAMETER_OFFSET) == 0) {
      errno = 0;
      offset = std::strtol(value, nullptr, 10);
      if (offset < 0 || errno == ERANGE || offset > 0xFFFFFFFFL)
        itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_mdx_file_corrupted);
      haveOffset = true;
    } else if (std::strcmp(key, ITL_UTF8STR_PARAMETER_ISDEFAULT) == 0) {
      if (value[0] != '1')
        itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_mdx_file_corrupted);
      isDefault = true;
    } else {
      itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_mdx_file_corrupted);
    }
  }
  if (name == nullptr || !haveType || !haveOffset)
    itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_mdx_file_corrupted);
  // Offsets rise strictly; anything else cannot come from the writer.
  if (iv_usModelCount != 0 &&
      static_cast<uint32_t>(offset) <= iv_pstModels[iv_usModelCount - 1].offset)
    itlRaise(ITL_DMS_SOURCE, ItlEnReasonCode_Docmodel_mdx_file_corrupted);
  if (iv_usModelArrayCapacity <= iv_usModelCount) enlargeArray();
  ItlClDocumentModelABase* model = createModel(format, name);
  iv_pstModels[iv_usModelCount].model = model;
  iv_pstModels[iv_usModelCount].offset = static_cast<uint32_t>(offset);
  model->setTablePosition(iv_usModelCount);
  ++iv_usModelCount;
  if (isDefault) setDefaultModelLocal(model, format);
}

// ---------------------------------------------------------------------------
// Events.

void ItlClDocumentModels::init() {
  closeStream();
  freeArray();
  iv_uiModelFileSize = 0;
  CosClFilename dir = getModelDirFileName();
  if (!dir.isExistent()) return;
  loadModelDir();
  CosClFilename file = getModelFileName();
  struct stat st;
  if (::stat(file, &st) != 0)
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_read_error, file);
  if (st.st_size >= static_cast<off_t>(kMaxModelFileSize))
    raiseWithFirstLine(ITL_DMS_SOURCE,
                       ItlEnReasonCode_Docmodel_mox_file_corrupted, file);
  iv_uiModelFileSize = static_cast<uint32_t>(st.st_size);
  // Entries at or past the end were listed by an add that did not finish.
  while (iv_usModelCount != 0 &&
         iv_pstModels[iv_usModelCount - 1].offset >= iv_uiModelFileSize) {
    Entry& last = iv_pstModels[--iv_usModelCount];
    ItlClDocumentModelABase* const* slot = defaultSlot(last.model->getFormat());
    if (*slot == last.model) setDefaultModelLocal(nullptr, last.model->getFormat());
    delete last.model;
    last.model = nullptr;
  }
  itlModelTraceUInt("ItlClDocumentModels::init", "iv_uiModelFileSize",
                    iv_uiModelFileSize);
  openStreamForReading();
  static char const* const kLabels[] = {
      "load default GPP model", "load default HTML model",
      "load default XML model", "load default INSO model"};
  ItlClDocumentModelABase* defaults[] = {iv_pclDefaultGpp, iv_pclDefaultHtml,
                                         iv_pclDefaultXml, iv_pclDefaultInso};
  for (unsigned i = 0; i < 4; ++i) {
    if (defaults[i] == nullptr) continue;
    itlModelTraceText("ItlClDocumentModels::init", kLabels[i],
                      defaults[i]->getName());
    ensureModelLoaded(defaults[i]->getTablePosition());
  }
}

void ItlClDocumentModels::create() {
  closeStream();
  CosClFilename file = getModelFileName();
  int fd = -1;
  if (itlFileOpRefused("write", file) ||
      (fd = ::open(file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0660)) < 0)
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_write_error, file);
  (void)::fchmod(fd, 0660);
  if (::close(fd) != 0)
    raiseWithFirstLine(ITL_DMS_SOURCE, ItlEnReasonCode_Io_write_error, file);
  freeArray();
  iv_uiModelFileSize = 0;
  saveModelDir(0);
}

void ItlClDocumentModels::onIndexFileCreate() { create(); }

void ItlClDocumentModels::onIndexFileInit() { init(); }

void ItlClDocumentModels::onIndexFileDestroy() {
  closeStream();
  freeArray();
  iv_uiModelFileSize = 0;
  CosClFilename temp = getDirTempFileName();
  if (temp.isExistent()) indexFileDelete(temp);
  CosClFilename file = getModelFileName();
  if (file.isExistent()) indexFileDelete(file);
  CosClFilename dir = getModelDirFileName();
  if (dir.isExistent()) indexFileDelete(dir);
}

void ItlClDocumentModels::onIndexFileRename(char const* newIndexName) {
  closeStream();
  CosClLocation const& d = iv_rclLocation.getIndexDirectory();
  indexFileRename(getModelFileName(),
                  CosClFilename(d, newIndexName, ITL_MODEL_FILE_EXTENSION));
  indexFileRename(getModelDirFileName(),
                  CosClFilename(d, newIndexName,
                                ITL_MODEL_DIRECTORY_FILE_EXTENSION));
}

void ItlClDocumentModels::onIndexFileCopy(char const* targetDirectory) {
  closeStream();
  CosClLocation target(targetDirectory);
  char const* name = iv_rclLocation.getIndexName();
  indexFileCopy(getModelFileName(),
                CosClFilename(target, name, ITL_MODEL_FILE_EXTENSION));
  indexFileCopy(getModelDirFileName(),
                CosClFilename(target, name, ITL_MODEL_DIRECTORY_FILE_EXTENSION));
}

void ItlClDocumentModels::onIndexFileMove(char const* targetDirectory) {
  closeStream();
  CosClLocation target(targetDirectory);
  char const* name = iv_rclLocation.getIndexName();
  indexFileMove(getModelFileName(),
                CosClFilename(target, name, ITL_MODEL_FILE_EXTENSION));
  indexFileMove(getModelDirFileName(),
                CosClFilename(target, name, ITL_MODEL_DIRECTORY_FILE_EXTENSION));
}
