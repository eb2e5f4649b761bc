// itl_highlight_list.hpp: the highlight list handed to the caller.
//
// One ItlClHighlightElement per hit: the part of the document it lies in
// and four byte offsets from the start of the caller's document (hit start,
// hit end just behind the hit, context start, context end). The list (type
// 100004) owns its elements; its capacity is fixed when it is made and
// newElement() gives null once it is full. Iterators hold a link to the
// list's validity marker: after the list's deletion isValid, isAtLastElement,
// setToLast and setToNext (and setToFirst through isValid) throw reason 46
// (Iterator_invalid); isAtFirstElement and setToPrevious only look at the
// iterator's own index and still answer. Everything is allocated through
// CosClMemoryManager.
#ifndef ITL_HIGHLIGHT_LIST_HPP
#define ITL_HIGHLIGHT_LIST_HPP

#include <cstdint>

#include "itl_hitlist.hpp"
#include "itl_list.hpp"

class ItlClHighlightElement {
 public:
  ItlClHighlightElement()
      : iv_enPartType(ItlEnDocPartType_None),
        iv_uiHitStart(0),
        iv_uiHitEnd(0),
        iv_uiContextStart(0),
        iv_uiContextEnd(0) {}
  virtual ~ItlClHighlightElement();

  ItlEnDocPartType iv_enPartType;
  uint32_t iv_uiHitStart;      // bytes from the document's start
  uint32_t iv_uiHitEnd;        // just behind the hit's last byte
  uint32_t iv_uiContextStart;  // bytes
  uint32_t iv_uiContextEnd;    // bytes
};

class ItlClHighlightList : public ItlClListABase {
 public:
  class Iterator : public ItlClListABase::Iterator {
   public:
    explicit Iterator(ItlClHighlightList const& list);
    ~Iterator() override;

    bool isAtFirstElement() const override { return iv_uiIndex == 0; }
    bool isAtLastElement() const override;
    bool isValid() const override;
    bool setToFirst() override;
    bool setToLast() override;
    bool setToNext(unsigned int steps) override;
    bool setToPrevious(unsigned int steps) override;
    // Null: the element is read from the list at getIndex().
    void const* getCurrent() const override { return nullptr; }

    uint32_t getIndex() const { return iv_uiIndex; }
    ItlClHighlightList const& getHighlightList() const { return iv_rclList; }

   private:
    // Throws reason 46 when the list is gone.
    void checkList() const;

    ItlClHighlightList const& iv_rclList;
    uint32_t iv_uiIndex;
  };

  // Room for `capacity` elements, none yet; call init() before iterating.
  ItlClHighlightList(ItlClErrorInfo& errorInfo, unsigned int capacity);
  // Destroys and frees every element and the array; iterators then see the
  // list as not valid.
  ~ItlClHighlightList() override;

  // A new element (all 0) appended to the list, for filling; null when the
  // list is full.
  ItlClHighlightElement* newElement();

  uint32_t getNumberOfElements() const override { return iv_uiCount; }
  bool matchesType(ItlEnListType type) const override {
    return type == ItlEnListType_HighlightList;
  }
  // A new Iterator at index 0 (allocated through CosClMemoryManager; the
  // caller destroys and frees it). REQUIRES: init() was called.
  ItlClListABase::Iterator* getNewIterator() const override;

  uint32_t getCapacity() const { return iv_uiCapacity; }
  // REQUIRES: index < getNumberOfElements().
  ItlClHighlightElement const& getElement(uint32_t index) const;
  ItlClHighlightElement& getElement(uint32_t index);

 private:
  ItlClHighlightElement** iv_ppclElements;  // owned, iv_uiCapacity slots
  uint32_t iv_uiCount;
  uint32_t iv_uiCapacity;
};

#endif  // ITL_HIGHLIGHT_LIST_HPP
