// itl_list.hpp: the lists handed to callers as list handles, their
// iterators and the validity marker that tells an iterator whether its list
// is still alive.
//
// A list owns a ValidityMarker (made by init()), a reference-counted object
// shared with every iterator made from the list through ItlClRefCountLink.
// The list's destructor sets the marker not valid and drops its link; the
// marker lives on while iterators hold links and is destroyed and freed by
// the last link that lets go, whatever the order of destruction. Markers,
// lists, iterators and element arrays are allocated through
// CosClMemoryManager (allocation failures throw CosClExceptionFatal).
// Nothing here is locked: lists and iterators live on the caller's thread.
#ifndef ITL_LIST_HPP
#define ITL_LIST_HPP

#include <cstdint>
#include <new>

#include "cos_memmgr.hpp"
#include "itl_codes.hpp"

class ItlClErrorInfo;

// Base of reference-counted objects: a 16-bit count of links.
class ItlClReferenceCounter {
 public:
  ItlClReferenceCounter() : iv_usReferenceCount(0) {}
  virtual ~ItlClReferenceCounter();
  ItlClReferenceCounter(ItlClReferenceCounter const&) = delete;
  ItlClReferenceCounter& operator=(ItlClReferenceCounter const&) = delete;

  uint16_t getReferenceCount() const { return iv_usReferenceCount; }
  void addReference() { ++iv_usReferenceCount; }
  // Returns true when the count dropped to 0.
  bool releaseReference() { return --iv_usReferenceCount == 0; }

 private:
  uint16_t iv_usReferenceCount;
};

// A counted pointer to T (a ItlClReferenceCounter allocated through
// CosClMemoryManager). The link that brings the count to 0 destroys the
// object and frees its memory.
template <class T>
class ItlClRefCountLink {
 public:
  ItlClRefCountLink() : iv_pclObject(nullptr) {}
  explicit ItlClRefCountLink(T* object) : iv_pclObject(nullptr) {
    set(object);
  }
  ItlClRefCountLink(ItlClRefCountLink const& other) : iv_pclObject(nullptr) {
    set(other.iv_pclObject);
  }
  ItlClRefCountLink& operator=(ItlClRefCountLink const& other) {
    set(other.iv_pclObject);
    return *this;
  }
  ~ItlClRefCountLink() { release(); }

  // Links to `object` (null allowed), dropping the previous link.
  void set(T* object) {
    if (object != nullptr) object->addReference();
    release();
    iv_pclObject = object;
  }
  // Drops the link; frees the object when it was the last.
  void release() {
    T* object = iv_pclObject;
    iv_pclObject = nullptr;
    if (object != nullptr && object->releaseReference()) {
      object->~T();
      CosClMemoryManager::free(object);
    }
  }
  T* get() const { return iv_pclObject; }
  T* operator->() const { return iv_pclObject; }
  bool isNull() const { return iv_pclObject == nullptr; }

 private:
  T* iv_pclObject;
};

// Abstract list behind a list handle.
class ItlClListABase {
 public:
  // Shared by a list and its iterators: valid while the list lives.
  class ValidityMarker : public ItlClReferenceCounter {
   public:
    ValidityMarker() : iv_bValid(true) {}
    ~ValidityMarker() override;
    bool isValid() const { return iv_bValid; }
    void invalidate() { iv_bValid = false; }

   private:
    bool iv_bValid;
  };

  // Base of the iterators over a list: the list and a link to its marker.
  // Concrete lists supply their iterators through getNewIterator().
  class Iterator {
   public:
    // REQUIRES: the list has been through init().
    explicit Iterator(ItlClListABase const& list);
    virtual ~Iterator();
    Iterator(Iterator const&) = delete;
    Iterator& operator=(Iterator const&) = delete;

    virtual bool isAtFirstElement() const = 0;
    virtual bool isAtLastElement() const = 0;
    virtual bool isValid() const = 0;
    virtual bool setToFirst() = 0;
    virtual bool setToLast() = 0;
    virtual bool setToNext(unsigned int steps) = 0;
    virtual bool setToPrevious(unsigned int steps) = 0;
    // The element at the current position.
    virtual void const* getCurrent() const = 0;

    // True while the list this iterator was made from is alive. Test it
    // before touching the list (getList()).
    bool isListValid() const {
      return !iv_clMarker.isNull() && iv_clMarker->isValid();
    }
    ItlClListABase const& getList() const { return iv_rclList; }

   private:
    ItlClListABase const& iv_rclList;
    ItlClRefCountLink<ValidityMarker> iv_clMarker;
  };

  ItlClListABase(ItlEnListType type, ItlClErrorInfo& errorInfo)
      : iv_enType(type), iv_rclErrorInfo(errorInfo) {}
  // Sets the marker not valid and drops the list's link.
  virtual ~ItlClListABase();
  ItlClListABase(ItlClListABase const&) = delete;
  ItlClListABase& operator=(ItlClListABase const&) = delete;

  // Makes a new valid marker and links the list to it; a previous marker is
  // released with its valid flag unchanged.
  virtual void init();
  virtual uint32_t getNumberOfElements() const = 0;
  virtual bool isEmpty() const { return getNumberOfElements() == 0; }
  virtual bool matchesType(ItlEnListType type) const = 0;
  // A new iterator allocated through CosClMemoryManager; the caller
  // destroys and frees it.
  virtual Iterator* getNewIterator() const = 0;

  ItlEnListType getListType() const { return iv_enType; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }
  // The marker, null before init().
  ValidityMarker* getValidityMarker() const { return iv_clMarker.get(); }

 private:
  ItlClRefCountLink<ValidityMarker> iv_clMarker;
  ItlEnListType iv_enType;
  ItlClErrorInfo& iv_rclErrorInfo;
};

// A list over an array of fixed-size elements. Concrete lists derived from
// it supply getNewIterator().
class ItlClArrayBasedList : public ItlClListABase {
 public:
  ItlClArrayBasedList(ItlEnListType type, ItlClErrorInfo& errorInfo)
      : ItlClListABase(type, errorInfo),
        iv_pvArray(nullptr),
        iv_uiCount(0),
        iv_uiElementSize(0) {}
  // Frees the array through CosClMemoryManager.
  ~ItlClArrayBasedList() override;

  // Takes over `array` (allocated through CosClMemoryManager) with its
  // element count and size; a previous array is freed.
  void initArray(void* array, uint32_t count, uint32_t elementSize);

  uint32_t getNumberOfElements() const override { return iv_uiCount; }
  bool matchesType(ItlEnListType type) const override {
    return type == ItlEnListType_ArrayBasedList;
  }
  uint32_t getElementSize() const { return iv_uiElementSize; }
  // REQUIRES: index < getNumberOfElements().
  void const* getElement(uint32_t index) const {
    return static_cast<char const*>(iv_pvArray) +
           static_cast<size_t>(index) * iv_uiElementSize;
  }

 private:
  void* iv_pvArray;           // owned
  uint32_t iv_uiCount;        // elements
  uint32_t iv_uiElementSize;  // bytes per element
};

#endif  // ITL_LIST_HPP
