// Fuzz target: locators of XML models and element paths. The first line of
// the input is a locator text (all its "|" alternatives are compiled, each
// with a matcher of its own); every later line is one path item below the
// root: "@name" an attribute, "#" a comment, "?target" a processing
// instruction, anything else an element. Every compiled alternative is
// matched against the path and each of its shorter prefixes; on paths and
// locators small enough the result must equal plain backtracking over the
// compiled operations, and each match may cost at most depth times
// operations node tests. Failures must be the matcher's own exceptions.
// The path is also printed into buffers of every size up to its length.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "itl_error.hpp"
#include "itl_xml_doc_path.hpp"
#include "itl_xpath_matcher.hpp"

namespace {

// The matching rules read off the operations, with backtracking: each
// "//" tries every item above in turn.
bool backtrack(ItlClXpathMatcher const& m, ItlClXmlDocPathItem const* item,
               uint32_t index) {
  ItlStXpathOperation const* ops = m.getOperations();
  if (index == m.getOperationCount() - 1) return true;
  if (item == nullptr) return false;
  auto test = [&](ItlClXmlDocPathItem const* it, uint32_t i, bool attribute) {
    ItlStXpathOperation const& t = ops[i];
    if (attribute && it->getKind() != ItlEnXmlDocPathItemKind_Attribute)
      return false;
    std::string label = it->getLabel() != nullptr ? it->getLabel() : "";
    std::string text = t.iv_pcText != nullptr
                           ? std::string(t.iv_pcText, t.iv_uiLength)
                           : std::string();
    bool element = it->getKind() == ItlEnXmlDocPathItemKind_Element;
    bool pi = it->getKind() == ItlEnXmlDocPathItemKind_ProcessingInstruction;
    switch (t.iv_usKind) {
      case ItlEnXpathOperation_Name:
        return (attribute || element) && label == text;
      case ItlEnXpathOperation_PrefixStar:
        return (attribute || element) && label.compare(0, text.size(), text) == 0;
      case ItlEnXpathOperation_Star:
        return attribute || element;
      case ItlEnXpathOperation_Comment:
        return it->getKind() == ItlEnXmlDocPathItemKind_Comment;
      case ItlEnXpathOperation_ProcessingInstruction:
        return pi;
      case ItlEnXpathOperation_ProcessingInstructionTarget:
        return pi && label == text;
      default:
        return false;
    }
  };
  switch (ops[index].iv_usKind) {
    case ItlEnXpathOperation_RootOnly:
    case ItlEnXpathOperation_AbsoluteAnchor:
      return item->getKind() == ItlEnXmlDocPathItemKind_Root;
    case ItlEnXpathOperation_RelativeAnchor:
      return true;
    case ItlEnXpathOperation_LastChild:
    case ItlEnXpathOperation_Child:
      return test(item, index + 1, false) &&
             backtrack(m, item->getPrevious(), index + 2);
    case ItlEnXpathOperation_LastAttribute:
      return test(item, index + 1, true) &&
             backtrack(m, item->getPrevious(), index + 2);
    case ItlEnXpathOperation_Descendant:
      for (; item != nullptr; item = item->getPrevious()) {
        if (!test(item, index + 1, false)) continue;
        if (item->getPrevious() == nullptr) return false;
        if (backtrack(m, item->getPrevious(), index + 2)) return true;
      }
      return false;
    default:
      return false;
  }
}

void checkLayout(ItlClXpathMatcher const& m) {
  uint32_t count = m.getOperationCount();
  ItlStXpathOperation const* ops = m.getOperations();
  FUZZ_CHECK(ops != nullptr && count >= 2 && count % 2 == 0);
  FUZZ_CHECK(ops[count - 1].iv_usKind == 0 && ops[count - 1].iv_pcText == nullptr);
  char const* text = m.getLocatorText();
  size_t length = std::strlen(text);
  if (count == 2) {
    FUZZ_CHECK(ops[0].iv_usKind == ItlEnXpathOperation_RootOnly);
    return;
  }
  FUZZ_CHECK(ops[0].iv_usKind == ItlEnXpathOperation_LastChild ||
             ops[0].iv_usKind == ItlEnXpathOperation_LastAttribute);
  FUZZ_CHECK(ops[count - 2].iv_usKind == ItlEnXpathOperation_AbsoluteAnchor ||
             ops[count - 2].iv_usKind == ItlEnXpathOperation_RelativeAnchor);
  for (uint32_t i = 1; i < count - 2; i += 2) {
    ItlStXpathOperation const& t = ops[i];
    FUZZ_CHECK(t.iv_usKind >= ItlEnXpathOperation_PrefixStar &&
               t.iv_usKind <= ItlEnXpathOperation_ProcessingInstructionTarget);
    if (t.iv_pcText != nullptr)
      FUZZ_CHECK(t.iv_pcText >= text && t.iv_pcText + t.iv_uiLength <= text + length);
    if (i + 1 < count - 2)
      FUZZ_CHECK(ops[i + 1].iv_usKind == ItlEnXpathOperation_Child ||
                 ops[i + 1].iv_usKind == ItlEnXpathOperation_Descendant);
  }
  float p = m.determineDefaultPriority();
  FUZZ_CHECK(p == 0.5f || p == 0.0f || p == -0.25f || p == -0.5f);
}

uint32_t descendants(ItlClXpathMatcher const& m) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < m.getOperationCount(); ++i)
    n += m.getOperations()[i].iv_usKind == ItlEnXpathOperation_Descendant;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 8192) return 0;
  std::string all(reinterpret_cast<char const*>(data), size);
  size_t eol = all.find('\n');
  std::string locator = all.substr(0, eol);

  // The path: root, then one item per line (at most 64).
  std::vector<std::unique_ptr<ItlClXmlDocPathItem>> items;
  ItlClXmlDocPath path;
  items.push_back(std::make_unique<ItlClXmlDocPathItem>());
  path.enqueue(*items.back());
  while (eol != std::string::npos && items.size() < 65) {
    size_t next = all.find('\n', eol + 1);
    std::string line = all.substr(eol + 1, next == std::string::npos ? next : next - eol - 1);
    eol = next;
    auto item = std::make_unique<ItlClXmlDocPathItem>();
    if (!line.empty() && line[0] == '@') {
      item->setKind(ItlEnXmlDocPathItemKind_Attribute);
      item->setLabel(line.c_str() + 1);
    } else if (!line.empty() && line[0] == '#') {
      item->setKind(ItlEnXmlDocPathItemKind_Comment);
    } else if (!line.empty() && line[0] == '?') {
      item->setKind(ItlEnXmlDocPathItemKind_ProcessingInstruction);
      item->setLabel(line.c_str() + 1);
    } else {
      item->setKind(ItlEnXmlDocPathItemKind_Element);
      item->setLabel(line.c_str());
    }
    path.enqueue(*item);
    items.push_back(std::move(item));
  }

  // The printed path: every size, nothing written past it.
  std::vector<char> full(16384);
  unsigned fullLength = path.printPathToBuffer(full.data(), static_cast<unsigned>(full.size()));
  for (unsigned s = 0; s <= fullLength + 2 && s < full.size(); s += 1 + s / 64) {
    std::vector<char> buffer(s + 8, '\x5A');
    unsigned length = path.printPathToBuffer(buffer.data(), s);
    for (size_t i = s; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == '\x5A');
    if (s == 0) {
      FUZZ_CHECK(length == 0);
      continue;
    }
    FUZZ_CHECK(length < s && buffer[length] == '\0');
    FUZZ_CHECK(std::memcmp(buffer.data(), full.data(), length) == 0);
  }

  std::vector<std::unique_ptr<ItlClXpathMatcher>> matchers;
  char const* rest = locator.c_str();
  while (rest != nullptr && matchers.size() < 64) {
    matchers.push_back(std::make_unique<ItlClXpathMatcher>());
    try {
      matchers.back()->init(rest, rest);
    } catch (ItlClException const& e) {
      FUZZ_CHECK(e.getReturnCode() == ItlEnReturnCode_Error);
      FUZZ_CHECK(e.getReasonCode() >= ItlEnReasonCode_Docmodel_xpath_invalid &&
                 e.getReasonCode() <= ItlEnReasonCode_Docmodel_xpath_invalid_nodetest);
      FUZZ_CHECK(rest == nullptr && matchers.back()->getOperations() == nullptr);
      matchers.pop_back();
      break;
    }
    checkLayout(*matchers.back());
  }

  // Every alternative against the path and its prefixes, tail first.
  uint64_t tests = 0;
  ItlClXpathMatcher::setNodeTestCounter(&tests);
  for (size_t depth = items.size(); depth > 0; --depth) {
    for (auto const& m : matchers) {
      tests = 0;
      bool result = m->match(path);
      FUZZ_CHECK(tests <= depth * m->getOperationCount());
      if (depth <= 10 && descendants(*m) <= 4)
        FUZZ_CHECK(result == backtrack(*m, path.getTail(), 0));
    }
    path.dequeue();
  }
  ItlClXpathMatcher::setNodeTestCounter(nullptr);
  return 0;
}
