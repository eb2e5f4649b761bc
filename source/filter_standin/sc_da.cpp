// sc_da.cpp: the stand-in data-access library "libsc_da" (tests only).
//
// DAOpenDocument reads the whole document through the caller's
// redirected-input callbacks (tell, seek to the end and back, then reads
// of 4096 bytes until the end status) and parses the toy format of
// sc_standin.hpp into elements, which the content-access stand-in
// delivers. Documents live in a table under handles from 1 upwards.
// Built twice: the second build (SC_STANDIN_NO_SETOPTION) lacks
// DASetOption. Not thread-safe: a test's parser runs on one thread.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "sc_standin.hpp"

namespace {

ScStStandinCounters gs_counters;
std::vector<ScStInjection> gs_injections;
std::map<uint32_t, std::unique_ptr<ScStDocument>> gs_documents;
uint32_t gs_nextHandle = 1;

int32_t injected(char const* procedure) {
  for (ScStInjection const& i : gs_injections)
    if (i.procedure == procedure) return i.status;
  return ITL_INSO_DAERR_OK;
}

uint32_t number(char const* text) {
  return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}

// Appends the UTF-16 form of UTF-8 `text`; a byte that starts no valid
// sequence becomes U+FFFD.
void appendUtf16(std::vector<uint16_t>& out, std::string const& text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t n = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 || (c & 0xF0) == 0xE0 || (c & 0xF8) == 0xF0) {
      size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
      uint32_t v = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
      size_t k = 1;
      for (; k < len && i + k < text.size(); ++k) {
        unsigned char d = static_cast<unsigned char>(text[i + k]);
        if ((d & 0xC0) != 0x80) break;
        v = (v << 6) | (d & 0x3F);
      }
      if (k == len && v <= 0x10FFFF) {
        cp = v;
        n = len;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<uint16_t>(cp));
    }
    i += n;
  }
}

ScStElement element(uint32_t type, uint32_t subtype, uint32_t id) {
  ScStElement e;
  e.type = type;
  e.subtype = subtype;
  e.propertyId = id;
  e.hasReportedSize = false;
  e.reportedSize = 0;
  return e;
}

// Parses the toy format (see sc_standin.hpp).
void parseDocument(std::string const& bytes, ScStDocument& doc) {
  bool leading = true;
  bool sizePending = false;
  uint32_t pendingSize = 0;
  uint32_t pad = 0;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    bool lineEnd = end != std::string::npos;
    if (!lineEnd) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    char word[32] = {0};
    char arg1[64] = {0};
    char arg2[64] = {0};
    char arg3[64] = {0};
    int fields = 0;
    if (line.size() < 200 && line.compare(0, 1, "@") == 0)
      fields = std::sscanf(line.c_str(), "@%31s %63s %63s %63s", word, arg1,
                           arg2, arg3);
    std::string directive = fields > 0 ? word : "";
    if (directive == "status" && leading && fields >= 3) {
      doc.injections.push_back(
          {arg1, static_cast<int32_t>(std::strtol(arg2, nullptr, 0))});
      continue;
    }
    leading = false;
    if (directive == "begin" || directive == "end") {
      uint32_t type = directive == "begin" ? ITL_INSO_ELEMENT_PROPERTY_BEGIN
                                           : ITL_INSO_ELEMENT_PROPERTY_END;
      doc.elements.push_back(element(type,
                                     fields >= 3 ? number(arg2)
                                                 : ITL_INSO_PROPERTY_DOCUMENT,
                                     fields >= 2 ? number(arg1) : 0));
    } else if (directive == "size" && fields >= 2) {
      sizePending = true;
      pendingSize = number(arg1);
    } else if (directive == "pad" && fields >= 2) {
      pad = number(arg1) % 100000;
    } else if (directive == "break" && fields >= 2) {
      ScStElement e = element(ITL_INSO_ELEMENT_TEXT, ITL_INSO_TEXT_BREAK, 0);
      e.units.push_back(static_cast<uint16_t>(number(arg1)));
      doc.elements.push_back(e);
    } else if (directive == "element" && fields >= 4) {
      doc.elements.push_back(
          element(number(arg1), number(arg2), number(arg3)));
    } else {
      std::vector<uint16_t> units;
      appendUtf16(units, line);
      units.insert(units.end(), pad, 0);
      pad = 0;
      size_t const kMaxUnits = ITL_INSO_CONTENT_BUFFER_SIZE / 2;
      for (size_t at = 0; at < units.size(); at += kMaxUnits) {
        ScStElement e =
            element(ITL_INSO_ELEMENT_TEXT, ITL_INSO_TEXT_CHARACTERS, 0);
        size_t n = units.size() - at < kMaxUnits ? units.size() - at : kMaxUnits;
        e.units.assign(units.begin() + at, units.begin() + at + n);
        e.hasReportedSize = sizePending;
        e.reportedSize = pendingSize;
        sizePending = false;
        doc.elements.push_back(e);
      }
      if (lineEnd) {
        ScStElement e = element(ITL_INSO_ELEMENT_TEXT, ITL_INSO_TEXT_BREAK, 0);
        e.units.push_back(0x000A);
        doc.elements.push_back(e);
      }
    }
  }
}

// Reads the whole document through the callbacks; false when they refuse.
bool readAll(ItlStINSORedirectedIO* io, std::string& bytes) {
  if (io->pfnRead == nullptr || io->pfnSeek == nullptr || io->pfnTell == nullptr)
    return false;
  uint32_t here = 0;
  uint32_t size = 0;
  if (io->pfnTell(io, &here) != 0) return false;
  if (io->pfnSeek(io, 2, 0) != 0 || io->pfnTell(io, &size) != 0) return false;
  if (io->pfnSeek(io, 0, 0) != 0) return false;
  uint8_t chunk[4096];
  for (;;) {
    uint32_t count = 0;
    int32_t st = io->pfnRead(io, chunk, sizeof chunk, &count);
    if (st == ITL_INSO_IOERR_EOF) break;
    if (st != 0) return false;
    if (count > sizeof chunk) return false;
    if (count == 0) break;
    bytes.append(reinterpret_cast<char*>(chunk), count);
  }
  return bytes.size() == size;
}

}  // namespace

extern "C" {

ScStStandinCounters* scStandinCounters() { return &gs_counters; }

void scStandinReset() {
  std::memset(&gs_counters, 0, sizeof gs_counters);
  gs_injections.clear();
}

void scStandinInjectStatus(char const* procedure, int32_t status) {
  gs_injections.push_back({procedure, status});
}

ScStDocument const* scStandinFindDocument(uint32_t handle) {
  auto it = gs_documents.find(handle);
  return it == gs_documents.end() ? nullptr : it->second.get();
}

int32_t DAInit(void) {
  ++gs_counters.init;
  return injected("DAInit");
}

int32_t DADeInit(void) {
  ++gs_counters.deInit;
  return injected("DADeInit");
}

int32_t DAOpenDocument(uint32_t* document, uint32_t specType, void* spec,
                       uint32_t flags) {
  ++gs_counters.openCalls;
  if (document == nullptr || spec == nullptr ||
      specType != ITL_INSO_SPEC_REDIRECTED_IO || flags != 0)
    return ITL_INSO_DAERR_BADPARAM;
  std::string bytes;
  if (!readAll(static_cast<ItlStINSORedirectedIO*>(spec), bytes))
    return ITL_INSO_DAERR_FILEOPENFAILED;
  std::unique_ptr<ScStDocument> doc(new ScStDocument());
  doc->bytesRead = static_cast<uint32_t>(bytes.size());
  parseDocument(bytes, *doc);
  int32_t st = scStandinInjected(*doc, "DAOpenDocument", ITL_INSO_DAERR_OK);
  if (st != ITL_INSO_DAERR_OK) return st;
  uint32_t handle = gs_nextHandle++;
  gs_documents[handle] = std::move(doc);
  *document = handle;
  ++gs_counters.opens;
  ++gs_counters.openDocuments;
  return ITL_INSO_DAERR_OK;
}

int32_t DACloseDocument(uint32_t document) {
  auto it = gs_documents.find(document);
  if (it == gs_documents.end()) return ITL_INSO_DAERR_BADPARAM;
  int32_t st = scStandinInjected(*it->second, "DACloseDocument",
                                 ITL_INSO_DAERR_OK);
  gs_documents.erase(it);
  ++gs_counters.closes;
  --gs_counters.openDocuments;
  return st;
}

#ifndef SC_STANDIN_NO_SETOPTION
int32_t DASetOption(uint32_t document, uint32_t option, void* value,
                    uint32_t size) {
  ++gs_counters.setOptions;
  auto it = gs_documents.find(document);
  if (it == gs_documents.end() || value == nullptr || size != 4)
    return ITL_INSO_DAERR_BADPARAM;
  uint32_t v = 0;
  std::memcpy(&v, value, 4);
  if (option == ITL_INSO_OPTION_FILTER_SETTINGS) gs_counters.option1 = v;
  if (option == ITL_INSO_OPTION_FALLBACK_FORMAT) gs_counters.option2 = v;
  return scStandinInjected(*it->second, "DASetOption", ITL_INSO_DAERR_OK);
}
#endif

}  // extern "C"
