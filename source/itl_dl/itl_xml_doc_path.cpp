// itl_xml_doc_path.cpp: the XML parser's element path and its printed form.
//
// The printed form names a node without a model ("/a/b/@id"); it is cut
// to the caller's buffer so that the text is always terminated and the cut
// always ends in "/" after the last item that fit, never inside a name.
#include "itl_xml_doc_path.hpp"

#include <cstring>

#include "cos_memmgr.hpp"

ItlClXmlDocPathItem::ItlClXmlDocPathItem()
    : iv_pcLabel(nullptr),
      iv_uiKind(ItlEnXmlDocPathItemKind_Root),
      iv_pclNext(nullptr),
      iv_pclPrevious(nullptr),
      iv_ucFieldStarted(0),
      iv_ucAttributeStarted(0) {}

ItlClXmlDocPathItem::~ItlClXmlDocPathItem() {
  CosClMemoryManager::free(iv_pcLabel);
}

void ItlClXmlDocPathItem::setLabel(char const* text) {
  char* copy = nullptr;
  if (text != nullptr) {
    size_t bytes = std::strlen(text) + 1;
    copy = static_cast<char*>(
        CosClMemoryManager::allocate(static_cast<unsigned int>(bytes)));
    std::memcpy(copy, text, bytes);
  }
  // Freed after the copy: `text` may lie inside the old label.
  CosClMemoryManager::free(iv_pcLabel);
  iv_pcLabel = copy;
}

void ItlClXmlDocPath::enqueue(ItlClXmlDocPathItem& item) {
  item.iv_pclNext = nullptr;
  item.iv_pclPrevious = iv_pclTail;
  if (iv_pclTail == nullptr)
    iv_pclHead = &item;
  else
    iv_pclTail->iv_pclNext = &item;
  iv_pclTail = &item;
}

ItlClXmlDocPathItem* ItlClXmlDocPath::dequeue() {
  ItlClXmlDocPathItem* item = iv_pclTail;
  if (item == nullptr) return nullptr;
  iv_pclTail = item->iv_pclPrevious;
  if (iv_pclTail == nullptr)
    iv_pclHead = nullptr;
  else
    iv_pclTail->iv_pclNext = nullptr;
  item->iv_pclPrevious = nullptr;
  return item;
}

unsigned int ItlClXmlDocPath::printPathToBuffer(char* buffer,
                                                unsigned int size) const {
  if (size == 0) return 0;
  // Positions are size_t: a label longer than the buffer must not wrap the
  // room checks below.
  size_t position = 0;
  ItlClXmlDocPathItem const* item =
      iv_pclHead != nullptr ? iv_pclHead->iv_pclNext : nullptr;
  for (; item != nullptr; item = item->iv_pclNext) {
    // Room for "/" and the terminator.
    if (position + 1 >= size) break;
    buffer[position++] = '/';
    char const* prefix = "";
    char const* suffix = "";
    switch (item->iv_uiKind) {
      case ItlEnXmlDocPathItemKind_Comment:
        prefix = "comment()";
        break;
      case ItlEnXmlDocPathItemKind_Attribute:
        prefix = "@";
        break;
      case ItlEnXmlDocPathItemKind_ProcessingInstruction:
        prefix = "processing-instruction(";
        suffix = ")";
        break;
      default:
        break;
    }
    char const* label = item->iv_pcLabel != nullptr ? item->iv_pcLabel : "";
    size_t prefixLength = std::strlen(prefix);
    size_t labelLength = std::strlen(label);
    // The item fits when one byte remains past prefix and label: that
    // byte takes the ")" of a processing instruction, and the terminator
    // follows it. The "/" stays as the cut's last character otherwise.
    if (position + prefixLength + labelLength + 1 >= size) break;
    std::memcpy(buffer + position, prefix, prefixLength);
    position += prefixLength;
    std::memcpy(buffer + position, label, labelLength);
    position += labelLength;
    if (*suffix != '\0') buffer[position++] = *suffix;
  }
  buffer[position] = '\0';
  return static_cast<unsigned int>(position);
}
