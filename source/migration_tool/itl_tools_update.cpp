// itl_tools_update.cpp: the tool helpers that feed an update handle
// (itl_tools.hpp): one document from a file, and attributes from an ini
// file.
#include "itl_tools.hpp"

#include <cstdlib>
#include <cstring>

#include "cos_ccsid.hpp"
#include "cos_consoleui.hpp"
#include "cos_converter.hpp"
#include "cos_exception.hpp"
#include "cos_filename.hpp"
#include "cos_inifile.hpp"
#include "cos_memmgr.hpp"

namespace {

constexpr unsigned kModelMax = 1024;  // bytes of a model name, with NUL

void line(CosClConsoleUI& console, char const* a, char const* b = nullptr) {
  console.msg(console.getOutputStream(), a, b);
}

// The buffer of a loaded file, freed on every path.
struct FileBuffer {
  char* data = nullptr;
  uint32_t size = 0;
  ~FileBuffer() { CosClMemoryManager::free(data); }
};

// `text` holds only digits (an optional sign first).
bool isNumberText(char const* text, long& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0';
}

char const* optionOf(CosClIniFileSectionCursor const& section,
                     char const* name) {
  CosClIniFileOptionCursor option(section);
  return option.setTo(name) ? option.getValue() : nullptr;
}

}  // namespace

int itlToolsUpdateOneDoc(CosClConsoleUI& console,
                         ItlTyIndexUpdateHandle update,
                         ItlTyDocumentIDHandle docId, bool remove,
                         char const* fileName, ItlEnDocumentFormat format,
                         char const* docModel, ItlTyCCSID ccsid,
                         char const* language) {
  console.formatHeader("Process document");
  if (remove) {
    int rc = itlIndexUpdateRemoveDocument(update, docId);
    if (rc != 0) console.format("itlIndexUpdateRemoveDocument RC", rc);
    return rc;
  }
  FileBuffer file;
  int rc = itlToolsLoadFileContent(fileName, &file.data, &file.size);
  if (rc != 0) {
    console.format("itlToolsLoadFileContent RC", rc);
    line(console, "could not load file", fileName);
    return rc;
  }
  // The model name in UTF-8, as the library takes it.
  char model[kModelMax];
  char const* modelName = nullptr;
  if (docModel != nullptr) {
    if (!(std::strlen(docModel) < kModelMax))
      cos__assert("strlen(cpszDocModel) < 1024", __FILE__, __LINE__);
    CosClCodePage2UTF8Converter converter(
        CosClCCSID(ccsid != 0 ? ccsid : 1208u));
    if (!converter.isSupported())
      cos__assert("clConverter.isSupported()", __FILE__, __LINE__);
    unsigned int bytes = converter.convertBytes(
        model, kModelMax - 1, docModel,
        static_cast<unsigned int>(std::strlen(docModel)));
    if (!(bytes < kModelMax))
      cos__assert("iBytesProcessed < 1024", __FILE__, __LINE__);
    model[bytes] = '\0';
    modelName = model;
  }
  ItlTyCCSID documentCcsid = ccsid;  // the library writes back its guess
  rc = itlIndexUpdateDocument(update, docId, format, modelName, file.data,
                              file.size, &documentCcsid, language);
  if (rc != 0) {
    console.format(" itlIndexUpdateDocument RC", rc);
    if (rc >= ItlEnReturnCode_Error) line(console, "itlIndexUpdateDocument failed!");
  }
  return rc;
}

int itlToolsUpdateAttrs(CosClConsoleUI& console,
                        ItlTyIndexUpdateHandle update,
                        ItlTyDocumentIDHandle docId, char const* fileName) {
  console.formatHeader("Process attributes for");
  CosClFilename name(fileName != nullptr ? fileName : "");
  if (fileName == nullptr || !name.isExistent()) {
    line(console, "Attributes file not found", fileName);
    return 15;
  }
  CosClIniFile ini(name);
  if (!ini.load()) {
    line(console, "Unable to load attributes file", fileName);
    return 15;
  }
  int result = 0;
  CosClIniFileSectionCursor section(ini);
  for (bool ok = section.setToFirst(); ok; ok = section.setToNext()) {
    char const* kind = section.getSection();
    bool isDate = std::strcmp(kind, "DATE") == 0;
    bool isNumber = std::strcmp(kind, "NUMBER") == 0;
    bool isString = std::strcmp(kind, "STRING") == 0;
    if (!isDate && !isNumber && !isString) {
      line(console, "illegal section in attributes file ignored", kind);
      continue;
    }
    char const* attribute = optionOf(section, "NAME");
    if (attribute == nullptr) {
      line(console, "no name found for attribute; continue");
      continue;
    }
    int rc = 0;
    if (isDate) {
      long year = 0, month = 0, day = 0;
      if (!isNumberText(optionOf(section, "YEAR"), year) ||
          !isNumberText(optionOf(section, "MONTH"), month) ||
          !isNumberText(optionOf(section, "DAY"), day) || year < 0 ||
          year > 65535 || month < 0 || month > 65535 || day < 0 ||
          day > 65535) {
        line(console, "illegal date value ignored, attribute name", attribute);
        continue;
      }
      rc = itlIndexUpdateSetDateAttribute(
          update, docId, attribute, static_cast<uint16_t>(day),
          static_cast<uint16_t>(month), static_cast<uint16_t>(year));
      if (rc != 0) line(console, "could not add date attribute", attribute);
    } else if (isNumber) {
      char const* text = optionOf(section, "VALUE");
      char* end = nullptr;
      double value = text != nullptr ? std::strtod(text, &end) : 0.0;
      if (text == nullptr || end == text || *end != '\0') {
        line(console, "illegal number value ignored, attribute name", attribute);
        continue;
      }
      rc = itlIndexUpdateSetNumberAttribute(update, docId, attribute, value);
      if (rc != 0) line(console, "could not add number attribute", attribute);
    } else {
      char const* value = optionOf(section, "VALUE");
      long ccsid = 0;
      char const* ccsidText = optionOf(section, "CCSID");
      if (value == nullptr ||
          (ccsidText != nullptr &&
           (!isNumberText(ccsidText, ccsid) || ccsid < 0 || ccsid > 65535))) {
        line(console, "illegal string value ignored, attribute name", attribute);
        continue;
      }
      rc = itlIndexUpdateSetStringAttribute(
          update, docId, attribute, value,
          static_cast<uint32_t>(std::strlen(value)),
          static_cast<ItlTyCCSID>(ccsid));
      if (rc != 0) line(console, "could not add string attribute", attribute);
    }
    if (rc != 0) result = rc;
  }
  return result;
}

