// itl_gpp_tag_finder.hpp: recognition of a structured-document model's
// start strings in UTF-16 text.
//
// ItlClGppTagFinder is a bitwise trie over UTF-16 code units: each code
// unit of a start string is spelled by 16 two-way nodes testing bit 0
// (least significant) to bit 15; a node's one child is taken when
// (unit & mask) == mask, its zero child otherwise. The node after the last
// unit's bit 15 is a leaf (mask 0) that holds the ItlClGppTagInfo of the
// string. Invariants: no registered string is a proper prefix of another
// (so a walk reaches at most one leaf), every leaf holds a tag info, the
// tag count equals the number of leaves, and every path ends in a leaf (a
// registration that runs out of memory takes back the nodes it made).
// The GPP parser walks the nodes itself, one bit test per step.
//
// ItlClGppTagInfo: the field item and the attribute item (not owned; the
// model owns them) of one start string. ItlClGppUTF16Spender: the GPP
// parser's cursors in the scanner's UTF-16 text.
//
// Nodes and tag infos come from the cos memory manager; a finder must not
// outlive the model whose items it registered. Failures: ItlClException
// (return code 8, action Inform, one context line "Tag: ...").
#ifndef ITL_GPP_TAG_FINDER_HPP
#define ITL_GPP_TAG_FINDER_HPP

#include <cstddef>
#include <cstdint>

class ItlClGppModelItem;
class ItlClDocumentInputScanner;

class ItlClGppTagInfo {
 public:
  ItlClGppTagInfo() : iv_pclFieldItem(nullptr), iv_pclAttributeItem(nullptr) {}
  virtual ~ItlClGppTagInfo() {}
  ItlClGppTagInfo(ItlClGppTagInfo const&) = delete;
  ItlClGppTagInfo& operator=(ItlClGppTagInfo const&) = delete;
  static void* operator new(size_t size);
  static void operator delete(void* p);

  // Set the item; when the other one is set, both end strings must be
  // absent or equal, else reason 652 (lines 106 and 163).
  void setFieldItem(ItlClGppModelItem const& item);
  void setAttributeItem(ItlClGppModelItem const& item);

  ItlClGppModelItem const* getFieldItem() const { return iv_pclFieldItem; }
  ItlClGppModelItem const* getAttributeItem() const {
    return iv_pclAttributeItem;
  }

 private:
  ItlClGppModelItem const* iv_pclFieldItem;      // not owned, may be null
  ItlClGppModelItem const* iv_pclAttributeItem;  // not owned, may be null
};

class ItlClGppTagFinder {
 public:
  class Node {
   public:
    // An inner node testing bit `bit` (mask 1 << bit), no children.
    explicit Node(int bit);
    // A leaf (mask 0) that owns `info`.
    explicit Node(ItlClGppTagInfo* info);
    // A leaf destroys its tag info; an inner node leaves its children.
    virtual ~Node();
    Node(Node const&) = delete;
    Node& operator=(Node const&) = delete;
    static void* operator new(size_t size);
    static void operator delete(void* p);

    bool isLeaf() const { return iv_usMask == 0; }
    uint16_t getMask() const { return iv_usMask; }
    // The child for code unit `unit`; REQUIRES: !isLeaf().
    Node* child(unsigned short unit) const {
      return (unit & iv_usMask) == iv_usMask ? iv_u.one : iv_pclZero;
    }
    Node* getOneChild() const { return isLeaf() ? nullptr : iv_u.one; }
    Node* getZeroChild() const { return iv_pclZero; }
    ItlClGppTagInfo* getTagInfo() const {
      return isLeaf() ? iv_u.info : nullptr;
    }

   private:
    friend class ItlClGppTagFinder;
    union {
      Node* one;              // inner node: child for bit 1
      ItlClGppTagInfo* info;  // leaf: its tag info, owned
    } iv_u;
    Node* iv_pclZero;         // inner node: child for bit 0; leaf: null
    uint16_t iv_usMask;       // 1 << bit, 0 in a leaf
  };

  ItlClGppTagFinder();
  virtual ~ItlClGppTagFinder();
  ItlClGppTagFinder(ItlClGppTagFinder const&) = delete;
  ItlClGppTagFinder& operator=(ItlClGppTagFinder const&) = delete;

  // Adds the item's start string (see the header comment). Reasons: 650 a
  // second field (line 264) or attribute (284) for one string; 651 a
  // registered string is a prefix of the new one (295) or the new one a
  // prefix of a registered one, or empty (308); 652 end strings conflict.
  // A failed registration leaves the trie as it was.
  void registerTag(ItlClGppModelItem const& item);
  // The tag info of exactly the NUL-terminated string `s`, or null; leaves
  // the current and next nodes where the walk stopped.
  ItlClGppTagInfo* getTagInfo(unsigned short const* s);

  Node* getRoot() { return &iv_clRoot; }
  Node* getCurrentNode() const { return iv_pclCurrent; }
  Node* getNextNode() const { return iv_pclNext; }
  void setCurrentNode(Node* n) { iv_pclCurrent = n; }
  void setNextNode(Node* n) { iv_pclNext = n; }
  // Sets, in the 65536-bit set `bits` (1024 words, bit u % 64 of word
  // u / 64), the bit of every code unit that some registered start string
  // begins with: exactly the units whose 16 bit tests from the root all
  // find a node. Other bits are left as they are.
  void markFirstUnits(uint64_t* bits) const;
  // Code units of the longest registered start string.
  uint32_t getLongestTagLength() const { return iv_uiLongestTag; }
  // Number of distinct registered start strings (leaves).
  uint32_t getTagCount() const { return iv_uiTagCount; }

 private:
  // Frees the subtree at `n` without a stack (right rotations).
  static void destroySubtree(Node* n);
  // markFirstUnits below `n`, which tests bit `bit` of a first unit whose
  // lower bits are `value`.
  static void markUnitsBelow(Node const* n, unsigned value, int bit,
                             uint64_t* bits);

  Node iv_clRoot;            // tests bit 0 of the first unit
  Node* iv_pclCurrent;       // where an incremental walk stands
  Node* iv_pclNext;          // child reached by the last test, or null
  uint32_t iv_uiLongestTag;  // code units
  uint32_t iv_uiTagCount;    // leaves
};

// Cursors of the GPP parser in the scanner's current UTF-16 buffer.
class ItlClGppUTF16Spender {
 public:
  // Keeps the scanner and the look-ahead length and takes the scanner's
  // next buffer; every position starts at its beginning.
  ItlClGppUTF16Spender(ItlClDocumentInputScanner& scanner,
                       unsigned int lookAhead);
  virtual ~ItlClGppUTF16Spender();
  ItlClGppUTF16Spender(ItlClGppUTF16Spender const&) = delete;
  ItlClGppUTF16Spender& operator=(ItlClGppUTF16Spender const&) = delete;

  // The same with `scanner`, keeping the look-ahead length.
  void reset(ItlClDocumentInputScanner& scanner);

  uint32_t getLookAhead() const { return iv_uiLookAhead; }
  ItlClDocumentInputScanner* getScanner() const { return iv_pclScanner; }

  // The positions, public for the parser's inner loop.
  unsigned short const* iv_pusBufferEnd;  // one past the last unit
  unsigned short const* iv_pusRead;       // next unit to read
  unsigned short const* iv_pusMatchStart; // where the match attempt began
  unsigned short const* iv_pusTextStart;  // pending plain text
  unsigned short const* iv_pusTextEnd;

 private:
  ItlClDocumentInputScanner* iv_pclScanner;  // not owned
  uint32_t iv_uiLookAhead;
};

#endif  // ITL_GPP_TAG_FINDER_HPP
