// An element path for tests: a root item and the items given, owned by the
// fixture and taken off the path when it ends.
#ifndef TESTS_ITL_DL_XML_DOC_PATH_FIXTURE_HPP
#define TESTS_ITL_DL_XML_DOC_PATH_FIXTURE_HPP

#include <memory>
#include <string>
#include <vector>

#include "itl_xml_doc_path.hpp"

class TestPath {
 public:
  // The root, then the items of `spec`: separated by "/", "@x" an
  // attribute, "#" a comment, "?t" a processing instruction with target t,
  // anything else an element. "" is the root alone.
  explicit TestPath(std::string const& spec = "") {
    push(ItlEnXmlDocPathItemKind_Root, nullptr);
    size_t start = 0;
    while (!spec.empty() && start <= spec.size()) {
      size_t slash = spec.find('/', start);
      if (slash == std::string::npos) slash = spec.size();
      std::string item = spec.substr(start, slash - start);
      if (item.compare(0, 1, "@") == 0)
        push(ItlEnXmlDocPathItemKind_Attribute, item.c_str() + 1);
      else if (item == "#")
        push(ItlEnXmlDocPathItemKind_Comment, nullptr);
      else if (item.compare(0, 1, "?") == 0)
        push(ItlEnXmlDocPathItemKind_ProcessingInstruction, item.c_str() + 1);
      else
        push(ItlEnXmlDocPathItemKind_Element, item.c_str());
      start = slash + 1;
    }
  }
  ~TestPath() {
    while (path.dequeue() != nullptr) {
    }
  }
  TestPath(TestPath const&) = delete;
  TestPath& operator=(TestPath const&) = delete;

  // Appends an item of `kind` labelled with a copy of `label` (null: none).
  void push(ItlEnXmlDocPathItemKind kind, char const* label) {
    items.push_back(std::make_unique<ItlClXmlDocPathItem>());
    items.back()->setKind(kind);
    items.back()->setLabel(label);
    path.enqueue(*items.back());
  }

  ItlClXmlDocPath path;
  std::vector<std::unique_ptr<ItlClXmlDocPathItem>> items;
};

#endif  // TESTS_ITL_DL_XML_DOC_PATH_FIXTURE_HPP
