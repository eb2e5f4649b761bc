// itl_xml_doc_path.hpp: the element path that the XML parser keeps while it
// walks a document.
//
// The path is a doubly linked chain of items from the document root (head)
// to the node being handled (tail): the root item, one item per open
// element, and at most one temporary attribute, comment or processing-
// instruction item at the tail. The XML model and the XPath matcher read it
// from the tail towards the head through the previous links; without a
// model the parser prints it as the field name of a node.
//
// Ownership: an item owns its label (memory-manager bytes); the path owns
// no item. Whoever enqueues an item takes it off again (dequeue) and
// destroys it. Nothing here is locked: a path lives on the parser's thread.
#ifndef ITL_XML_DOC_PATH_HPP
#define ITL_XML_DOC_PATH_HPP

#include <cstdint>

// Kinds of path items (stored as 32-bit values; no other kinds are made).
enum ItlEnXmlDocPathItemKind : uint32_t {
  ItlEnXmlDocPathItemKind_Root = 100000,
  ItlEnXmlDocPathItemKind_Element = 100001,
  ItlEnXmlDocPathItemKind_Comment = 100003,
  ItlEnXmlDocPathItemKind_Attribute = 100004,
  ItlEnXmlDocPathItemKind_ProcessingInstruction = 100006
};

class ItlClXmlDocPath;

// One node of the path. A new item has no label, no links, cleared flags
// and the kind Root. Not copyable: it owns its label.
class ItlClXmlDocPathItem {
 public:
  ItlClXmlDocPathItem();
  // Frees the label. REQUIRES: the item is on no path.
  ~ItlClXmlDocPathItem();
  ItlClXmlDocPathItem(ItlClXmlDocPathItem const&) = delete;
  ItlClXmlDocPathItem& operator=(ItlClXmlDocPathItem const&) = delete;

  // Replaces the label by an owned copy of `text` (strlen + 1 bytes from
  // the memory manager; a failed allocation throws through its
  // out-of-memory handler and leaves the old label). Null frees the label.
  // `text` may point into the current label.
  void setLabel(char const* text);
  // The node's name in UTF-8 (element or attribute name, target of a
  // processing instruction); null for the root and for comments.
  char const* getLabel() const { return iv_pcLabel; }

  ItlEnXmlDocPathItemKind getKind() const {
    return static_cast<ItlEnXmlDocPathItemKind>(iv_uiKind);
  }
  void setKind(ItlEnXmlDocPathItemKind kind) { iv_uiKind = kind; }

  // The item nearer the tail (deeper), null at the tail.
  ItlClXmlDocPathItem const* getNext() const { return iv_pclNext; }
  // The item nearer the head, null at the head.
  ItlClXmlDocPathItem const* getPrevious() const { return iv_pclPrevious; }

  // A field was started for this node and must be ended with it.
  bool isFieldStarted() const { return iv_ucFieldStarted != 0; }
  void setFieldStarted(bool started) { iv_ucFieldStarted = started ? 1 : 0; }
  // An attribute definition was opened for this node and must be closed
  // with it.
  bool isAttributeStarted() const { return iv_ucAttributeStarted != 0; }
  void setAttributeStarted(bool started) {
    iv_ucAttributeStarted = started ? 1 : 0;
  }

 private:
  friend class ItlClXmlDocPath;

  char* iv_pcLabel;                      // owned, null when none
  uint32_t iv_uiKind;                    // ItlEnXmlDocPathItemKind
  ItlClXmlDocPathItem* iv_pclNext;       // towards the tail
  ItlClXmlDocPathItem* iv_pclPrevious;   // towards the head
  uint8_t iv_ucFieldStarted;             // 0 or 1
  uint8_t iv_ucAttributeStarted;         // 0 or 1
};

// The path: {head, tail} over items it does not own. Used as a stack.
class ItlClXmlDocPath {
 public:
  ItlClXmlDocPath() : iv_pclHead(nullptr), iv_pclTail(nullptr) {}
  // Does nothing: the items belong to whoever enqueued them.
  ~ItlClXmlDocPath() {}
  ItlClXmlDocPath(ItlClXmlDocPath const&) = delete;
  ItlClXmlDocPath& operator=(ItlClXmlDocPath const&) = delete;

  // Appends `item` at the tail; the first item becomes head and tail.
  // REQUIRES: `item` is on no path (both links null).
  void enqueue(ItlClXmlDocPathItem& item);
  // Takes the tail item off and returns it (its previous link cleared), or
  // null when the path is empty. The new tail's next link is cleared;
  // taking off the only item leaves head and tail null.
  ItlClXmlDocPathItem* dequeue();

  // Writes the path as text into `buffer` (at most `size` bytes, the
  // terminating zero included) and returns the text's length. The root is
  // skipped; every later item is "/" followed by, by kind: the element's
  // name, "@" and the attribute's name, "comment()", or
  // "processing-instruction(" target ")". A path holding only the root is
  // the empty text. An item that does not fit is cut off after its "/",
  // which stays the last character, and nothing after it is written.
  // Nothing is written when `size` is 0 (the result is then 0); otherwise
  // the text is always terminated and no byte at or past `size` changes.
  unsigned int printPathToBuffer(char* buffer, unsigned int size) const;

  ItlClXmlDocPathItem const* getHead() const { return iv_pclHead; }
  ItlClXmlDocPathItem const* getTail() const { return iv_pclTail; }
  bool isEmpty() const { return iv_pclTail == nullptr; }

 private:
  ItlClXmlDocPathItem* iv_pclHead;  // the root once the parser runs
  ItlClXmlDocPathItem* iv_pclTail;  // the node being handled
};

#endif  // ITL_XML_DOC_PATH_HPP
