// Fuzz target: XML model definitions. The input up to the first zero byte
// is a definition text; every later line is one path item below the root
// ("@name" an attribute, "#" a comment, "?target" a processing
// instruction, anything else an element). A model that loads is probed at
// every depth of the path for both kinds: the chosen item has the asked
// kind, its locator matches, no matching item of that kind has a higher
// priority or a later place at the same one, and its expanded name fits
// the name buffer. Failures must be index-library or cos exceptions.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cos_exception.hpp"
#include "fuzz_input.hpp"
#include "itl_error.hpp"
#include "itl_xml_doc_path.hpp"
#include "itl_xmlmodel.hpp"

namespace {

void probe(ItlClXmlModel const& m, ItlClXmlDocPath const& path) {
  for (bool field : {true, false}) {
    ItlClXmlModelItem const* chosen = m.getMatchingItem(path, field);
    int chosenIndex = -1;
    for (unsigned short i = 0; i < m.getItemCount(); ++i)
      if (m.getXmlItem(i) == chosen) chosenIndex = i;
    for (unsigned short i = 0; i < m.getItemCount(); ++i) {
      ItlClXmlModelItem const* item = m.getXmlItem(i);
      if (item->isField() != field || !item->getLocator().match(path)) continue;
      FUZZ_CHECK(chosen != nullptr);
      FUZZ_CHECK(item->getPriority() < chosen->getPriority() ||
                 (item->getPriority() == chosen->getPriority() &&
                  i <= chosenIndex));
    }
    if (chosen == nullptr) continue;
    FUZZ_CHECK(chosen->isField() == field);
    FUZZ_CHECK(chosen->getLocator().match(path));
    FUZZ_CHECK(std::strlen(m.expandItemName(*chosen, path)) <
               ItlClXmlModel::kNameBufferSize ||
               m.expandItemName(*chosen, path) == chosen->getName());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FuzzInput in(data, size);
  std::string all = in.rest();
  size_t zero = all.find('\0');
  std::string text = all.substr(0, zero);
  std::string pathText = zero == std::string::npos ? "" : all.substr(zero + 1);

  ItlClErrorInfo info;
  ItlClXmlModel model(info);
  model.setName("fuzz");
  try {
    model.loadFromBuffer(text.data(), static_cast<unsigned>(text.size()));
  } catch (ItlClException& e) {
    model.addParsingContext(e);
    FUZZ_CHECK(e.getReturnCode() == 8);
    FUZZ_CHECK(std::strlen(e.getContext()) <= 512);
    return 0;
  } catch (CosClException const&) {
    return 0;
  }
  FUZZ_CHECK(model.isLoaded());

  std::vector<std::unique_ptr<ItlClXmlDocPathItem>> items;
  ItlClXmlDocPath path;
  auto push = [&](ItlEnXmlDocPathItemKind kind, char const* label) {
    items.push_back(std::make_unique<ItlClXmlDocPathItem>());
    items.back()->setKind(kind);
    items.back()->setLabel(label);
    path.enqueue(*items.back());
  };
  push(ItlEnXmlDocPathItemKind_Root, nullptr);
  probe(model, path);
  size_t start = 0;
  while (start < pathText.size() && items.size() < 64) {
    size_t end = pathText.find('\n', start);
    if (end == std::string::npos) end = pathText.size();
    std::string line = pathText.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line[0] == '@')
      push(ItlEnXmlDocPathItemKind_Attribute, line.c_str() + 1);
    else if (line == "#")
      push(ItlEnXmlDocPathItemKind_Comment, nullptr);
    else if (!line.empty() && line[0] == '?')
      push(ItlEnXmlDocPathItemKind_ProcessingInstruction, line.c_str() + 1);
    else
      push(ItlEnXmlDocPathItemKind_Element, line.c_str());
    probe(model, path);
  }
  while (path.dequeue() != nullptr) {
  }
  return 0;
}
