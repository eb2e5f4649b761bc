// itl_gpp_tag_finder.cpp: the bitwise trie of start strings.
//
// Registration walks the existing nodes first and checks every conflict
// before it creates a node, so a refused registration changes nothing. The
// nodes it then creates hang below one existing node; if memory runs out
// among them, that one branch is cut off and freed again, so every path of
// the trie ends in a leaf. Destruction needs no stack: it flattens each
// subtree by right rotations and frees nodes along the one-child spine.
#include <unicode/ustring.h>

#include "cos_memmgr.hpp"
#include "itl_dl_text.hpp"
#include "itl_error.hpp"
#include "itl_gpp_tag_finder.hpp"
#include "itl_gppmodel.hpp"

namespace {

// Reason with the one context line "Tag: <text>".
[[noreturn]] void raiseTag(char const* origin, unsigned line,
                           ItlEnReasonCode reason, unsigned short const* tag) {
  ItlClException e(origin, line, reason);
  e.context(21) << ": " << itlUtf16ToUtf8(tag);
  e.raise();
}

uint32_t unitCount(unsigned short const* s) {
  return s ? static_cast<uint32_t>(u_strlen(reinterpret_cast<UChar const*>(s)))
           : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Node

ItlClGppTagFinder::Node::Node(int bit)
    : iv_pclZero(nullptr), iv_usMask(static_cast<uint16_t>(1u << bit)) {
  iv_u.one = nullptr;
}

ItlClGppTagFinder::Node::Node(ItlClGppTagInfo* info)
    : iv_pclZero(nullptr), iv_usMask(0) {
  iv_u.info = info;
}

ItlClGppTagFinder::Node::~Node() {
  if (isLeaf()) delete iv_u.info;
}

void* ItlClGppTagFinder::Node::operator new(size_t size) {
  return CosClMemoryManager::allocate(static_cast<unsigned int>(size));
}

void ItlClGppTagFinder::Node::operator delete(void* p) {
  CosClMemoryManager::free(p);
}

// ---------------------------------------------------------------------------
// ItlClGppTagFinder

ItlClGppTagFinder::ItlClGppTagFinder()
    : iv_clRoot(0),
      iv_pclCurrent(nullptr),
      iv_pclNext(nullptr),
      iv_uiLongestTag(0),
      iv_uiTagCount(0) {}

ItlClGppTagFinder::~ItlClGppTagFinder() {
  destroySubtree(iv_clRoot.iv_u.one);
  destroySubtree(iv_clRoot.iv_pclZero);
  iv_clRoot.iv_u.one = nullptr;
  iv_clRoot.iv_pclZero = nullptr;
}

void ItlClGppTagFinder::destroySubtree(Node* n) {
  while (n != nullptr) {
    Node* zero = n->isLeaf() ? nullptr : n->iv_pclZero;
    if (zero == nullptr) {
      Node* one = n->isLeaf() ? nullptr : n->iv_u.one;
      delete n;
      n = one;
    } else if (zero->isLeaf()) {
      n->iv_pclZero = nullptr;
      delete zero;
    } else {
      // Rotate: the zero child becomes the top, n its one child.
      n->iv_pclZero = zero->iv_u.one;
      zero->iv_u.one = n;
      n = zero;
    }
  }
}

void ItlClGppTagFinder::registerTag(ItlClGppModelItem const& item) {
  unsigned short const* s = item.getStartString();
  uint32_t n = unitCount(s);
  Node* node = &iv_clRoot;

  // Walk the existing nodes.
  for (uint32_t k = 0; k < n; ++k) {
    if (node->isLeaf())
      raiseTag("source/itl_dl/itl_gpp_tag_finder:295", 295,
               ItlEnReasonCode_Gpp_start_tag_contains_other, s);
    for (int b = 0; b < 16; ++b) {
      Node* next = node->child(s[k]);
      if (next == nullptr) {
        // Extend from the node that tests bit b of unit k.
        Node* top = nullptr;      // first node created
        Node** slot = nullptr;    // where it hangs
        try {
          Node* parent = node;
          uint32_t unit = k;
          int bit = b;
          for (;;) {
            bool one = (s[unit] & (1u << bit)) != 0;
            Node** childSlot = one ? &parent->iv_u.one : &parent->iv_pclZero;
            int nextBit = bit + 1;
            uint32_t nextUnit = unit;
            if (nextBit == 16) {
              nextBit = 0;
              ++nextUnit;
            }
            Node* child;
            if (nextUnit == n) {
              ItlClGppTagInfo* info = new ItlClGppTagInfo();
              try {
                child = new Node(info);
              } catch (...) {
                delete info;
                throw;
              }
            } else {
              child = new Node(nextBit);
            }
            *childSlot = child;
            if (top == nullptr) {
              top = child;
              slot = childSlot;
            }
            if (nextUnit == n) {
              if (item.isField())
                child->iv_u.info->setFieldItem(item);
              else
                child->iv_u.info->setAttributeItem(item);
              break;
            }
            parent = child;
            unit = nextUnit;
            bit = nextBit;
          }
        } catch (...) {
          if (slot != nullptr) {
            *slot = nullptr;
            destroySubtree(top);
          }
          throw;
        }
        ++iv_uiTagCount;
        if (n > iv_uiLongestTag) iv_uiLongestTag = n;
        return;
      }
      node = next;
    }
  }

  // Every unit was walked on existing nodes.
  if (!node->isLeaf())
    raiseTag("source/itl_dl/itl_gpp_tag_finder:308", 308,
             ItlEnReasonCode_Gpp_start_tag_contains_other, s);
  ItlClGppTagInfo* info = node->iv_u.info;
  if (item.isField()) {
    if (info->getFieldItem() != nullptr)
      raiseTag("source/itl_dl/itl_gpp_tag_finder:264", 264,
               ItlEnReasonCode_Gpp_same_start_tags, s);
    info->setFieldItem(item);
  } else {
    if (info->getAttributeItem() != nullptr)
      raiseTag("source/itl_dl/itl_gpp_tag_finder:284", 284,
               ItlEnReasonCode_Gpp_same_start_tags, s);
    info->setAttributeItem(item);
  }
}

void ItlClGppTagFinder::markFirstUnits(uint64_t* bits) const {
  markUnitsBelow(&iv_clRoot, 0, 0, bits);
}

// The first unit's 16 nodes are all inner nodes (a leaf follows a whole
// unit), so the recursion is 16 deep and visits only existing paths.
void ItlClGppTagFinder::markUnitsBelow(Node const* n, unsigned value, int bit,
                                       uint64_t* bits) {
  if (n == nullptr) return;
  if (bit == 16) {
    bits[value >> 6] |= uint64_t(1) << (value & 63);
    return;
  }
  markUnitsBelow(n->iv_pclZero, value, bit + 1, bits);
  markUnitsBelow(n->iv_u.one, value | (1u << bit), bit + 1, bits);
}

ItlClGppTagInfo* ItlClGppTagFinder::getTagInfo(unsigned short const* s) {
  iv_pclCurrent = &iv_clRoot;
  iv_pclNext = nullptr;
  if (s == nullptr) return nullptr;
  for (; *s != 0; ++s) {
    if (iv_pclCurrent->isLeaf()) return nullptr;
    for (int b = 0; b < 16; ++b) {
      iv_pclNext = iv_pclCurrent->child(*s);
      if (iv_pclNext == nullptr) return nullptr;
      iv_pclCurrent = iv_pclNext;
    }
  }
  return iv_pclCurrent->getTagInfo();
}
