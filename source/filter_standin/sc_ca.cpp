// sc_ca.cpp: the stand-in content-access library "libsc_ca" (tests only).
//
// Delivers the elements that the data-access stand-in parsed from a
// document. It finds that library among the loaded ones by its soname
// "libsc_da.so" (never loading it itself) and asks it for the document of
// a handle. Each element's data is written up to the caller's buffer size;
// the data size reported is the data's true size or the "@size" of the
// toy document, which may exceed the buffer. Not thread-safe.
#include <dlfcn.h>

#include <cstring>
#include <map>

#include "sc_standin.hpp"

namespace {

struct Content {
  uint32_t document;
  size_t next;  // index of the next element
};

ScStStandinCounters gs_counters;
std::map<uint32_t, Content> gs_contents;
uint32_t gs_nextHandle = 1;

ScStDocument const* findDocument(uint32_t handle) {
  void* da = dlopen("libsc_da.so", RTLD_NOW | RTLD_NOLOAD);
  if (da == nullptr) return nullptr;
  using Find = ScStDocument const* (*)(uint32_t);
  Find find = reinterpret_cast<Find>(dlsym(da, "scStandinFindDocument"));
  ScStDocument const* doc = find != nullptr ? find(handle) : nullptr;
  dlclose(da);  // drops the reference NOLOAD took
  return doc;
}

int32_t deliver(uint32_t content, ItlStINSOContentElement* element,
                char const* procedure) {
  ++gs_counters.reads;
  auto it = gs_contents.find(content);
  if (it == gs_contents.end() || element == nullptr ||
      element->uiSize != sizeof(ItlStINSOContentElement))
    return ITL_INSO_DAERR_BADPARAM;
  ScStDocument const* doc = findDocument(it->second.document);
  if (doc == nullptr) return ITL_INSO_DAERR_BADPARAM;
  if (std::strcmp(procedure, "CAReadFirst") == 0) {
    int32_t st = scStandinInjected(*doc, procedure, ITL_INSO_DAERR_OK);
    if (st != ITL_INSO_DAERR_OK) return st;
  }
  if (it->second.next >= doc->elements.size()) {
    // Past the last element a status is injected in place of the end; an
    // injected success would be a content that never ends (a reader looping
    // on stale elements), which no filter delivers: it stays the end.
    int32_t st = scStandinInjected(*doc, procedure, ITL_INSO_DAERR_EOF);
    return st == ITL_INSO_DAERR_OK ? ITL_INSO_DAERR_EOF : st;
  }
  ScStElement const& e = doc->elements[it->second.next++];
  element->uiType = e.type;
  element->uiSubtype = e.subtype;
  element->uiPropertyId = e.propertyId;
  uint32_t bytes = static_cast<uint32_t>(e.units.size() * 2);
  uint32_t room = element->pData != nullptr ? element->uiBufferSize : 0;
  uint32_t n = bytes < room ? bytes : room;
  if (n != 0) std::memcpy(element->pData, e.units.data(), n);
  element->uiDataSize = e.hasReportedSize ? e.reportedSize : bytes;
  return ITL_INSO_DAERR_OK;
}

}  // namespace

extern "C" {

ScStStandinCounters* scStandinCounters() { return &gs_counters; }

void scStandinReset() { std::memset(&gs_counters, 0, sizeof gs_counters); }

int32_t CAOpenContent(uint32_t document, uint32_t* content) {
  ScStDocument const* doc = findDocument(document);
  if (doc == nullptr || content == nullptr) return ITL_INSO_DAERR_BADPARAM;
  int32_t st = scStandinInjected(*doc, "CAOpenContent", ITL_INSO_DAERR_OK);
  if (st != ITL_INSO_DAERR_OK) return st;
  uint32_t handle = gs_nextHandle++;
  gs_contents[handle] = Content{document, 0};
  *content = handle;
  ++gs_counters.contentOpens;
  ++gs_counters.openContents;
  return ITL_INSO_DAERR_OK;
}

int32_t CACloseContent(uint32_t content) {
  auto it = gs_contents.find(content);
  if (it == gs_contents.end()) return ITL_INSO_DAERR_BADPARAM;
  gs_contents.erase(it);
  ++gs_counters.contentCloses;
  --gs_counters.openContents;
  return ITL_INSO_DAERR_OK;
}

int32_t CAReadFirst(uint32_t content, ItlStINSOContentElement* element) {
  auto it = gs_contents.find(content);
  if (it != gs_contents.end()) it->second.next = 0;
  return deliver(content, element, "CAReadFirst");
}

int32_t CAReadNext(uint32_t content, ItlStINSOContentElement* element) {
  return deliver(content, element, "CAReadNext");
}

}  // extern "C"
