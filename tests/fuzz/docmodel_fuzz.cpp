// Fuzz target: document-model definitions. The first byte picks the model
// (GPP, HTML or INSO); the rest is the definition text. Whatever loads and
// compiles is probed: every GPP item is registered in a tag finder and
// found again, HTML searches agree with a scan of the items, INSO tag
// numbers 0 to 120 are looked up. Failures must be index-library or cos
// exceptions; the error context is built for each.
#include <cstring>
#include <memory>
#include <string>

#include "cos_exception.hpp"
#include "fuzz_input.hpp"
#include "itl_error.hpp"
#include "itl_gpp_tag_finder.hpp"
#include "itl_gppmodel.hpp"
#include "itl_htmlmodel.hpp"
#include "itl_insomodel.hpp"

namespace {

size_t units(unsigned short const* s) {
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

void probeGpp(ItlClGppModel const& m) {
  ItlClGppTagFinder finder;
  for (unsigned short i = 0; i < m.getItemCount(); ++i)
    finder.registerTag(*m.getGppItem(i));  // a compiled model registers
  for (unsigned short i = 0; i < m.getItemCount(); ++i) {
    ItlClGppModelItem const* item = m.getGppItem(i);
    ItlClGppTagInfo* info = finder.getTagInfo(item->getStartString());
    FUZZ_CHECK(info != nullptr);
    FUZZ_CHECK((item->isField() ? info->getFieldItem()
                                : info->getAttributeItem()) == item);
  }
}

void probeHtml(ItlClHtmlModel const& m) {
  for (unsigned short i = 0; i < m.getItemCount(); ++i) {
    auto const* item = static_cast<ItlClHtmlModelItem const*>(m.getItem(i));
    bool meta = item->getMetaQualifier() != nullptr;
    unsigned short const* key = meta ? item->getMetaQualifier() : item->getTag();
    size_t n = units(key);
    ItlClHtmlModelItem const* found =
        meta ? m.getMatchingMetaItem(key, static_cast<unsigned>(n),
                                     item->isField())
             : m.getMatchingItem(key, static_cast<unsigned>(n), item->isField());
    FUZZ_CHECK(found != nullptr);
    FUZZ_CHECK(found->isField() == item->isField());
  }
}

void probeInso(ItlClInsoModel const& m) {
  for (unsigned t = 0; t <= 120; ++t) {
    for (bool field : {true, false}) {
      ItlClInsoModelItem const* item = m.getMatchingItem(t, field);
      if (item != nullptr) {
        FUZZ_CHECK(item->getTagNumber() == t);
        FUZZ_CHECK(item->isField() == field);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FuzzInput in(data, size);
  unsigned kind = in.byte() % 3;
  std::string text = in.rest();
  ItlClErrorInfo info;
  std::unique_ptr<ItlClDocumentModelABase> model;
  if (kind == 0)
    model.reset(new ItlClGppModel(info));
  else if (kind == 1)
    model.reset(new ItlClHtmlModel(info));
  else
    model.reset(new ItlClInsoModel(info));
  model->setName("fuzz");
  try {
    model->loadFromBuffer(text.data(), static_cast<unsigned>(text.size()));
  } catch (ItlClException& e) {
    model->addParsingContext(e);
    FUZZ_CHECK(e.getReturnCode() == 8);
    FUZZ_CHECK(std::strlen(e.getContext()) <= 512);
    return 0;
  } catch (CosClException const&) {
    return 0;
  }
  FUZZ_CHECK(model->isLoaded());
  if (kind == 0) probeGpp(static_cast<ItlClGppModel const&>(*model));
  if (kind == 1) probeHtml(static_cast<ItlClHtmlModel const&>(*model));
  if (kind == 2) probeInso(static_cast<ItlClInsoModel const&>(*model));
  return 0;
}
