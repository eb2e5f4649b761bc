// itl_hitlist.hpp: hits as character offsets inside the highlighter.
//
// An ItlClHitlist holds ItlClHitinfo records (part type, offset, length in
// characters; a UTF-16 surrogate pair counts one). The highlighter fills
// one with hits in the extracted text, an offset mapper a second one with
// the same hits in the document's own text. A list's capacity is fixed when
// it is made: every owner makes it with room for the most hits it adds, and
// add() refuses (returns false) once it is full, so the count never exceeds
// the capacity. Records and arrays come from CosClMemoryManager; out of
// memory throws the memory manager's exception and leaves the list as it
// was.
#ifndef ITL_HITLIST_HPP
#define ITL_HITLIST_HPP

#include <cstdint>

// The part of a document in which a hit lies. 0 marks a hit of the first
// pass that no mapper has placed yet.
enum ItlEnDocPartType {
  ItlEnDocPartType_None = 0,
  ItlEnDocPartType_Text = 100000,
  ItlEnDocPartType_Comment = 100001,
  ItlEnDocPartType_ElementMarkup = 100002,
  ItlEnDocPartType_ProcessingInstruction = 100003
};

class ItlClHitinfo {
 public:
  ItlClHitinfo(ItlEnDocPartType type, unsigned int offset, unsigned int length)
      : iv_enPartType(type), iv_uiOffset(offset), iv_uiLength(length) {}
  virtual ~ItlClHitinfo();

  ItlEnDocPartType getPartType() const { return iv_enPartType; }
  uint32_t getOffset() const { return iv_uiOffset; }
  uint32_t getLength() const { return iv_uiLength; }

 private:
  ItlEnDocPartType iv_enPartType;
  uint32_t iv_uiOffset;  // characters
  uint32_t iv_uiLength;  // characters
};

class ItlClHitlist {
 public:
  // Room for `capacity` hits, none yet.
  explicit ItlClHitlist(unsigned int capacity);
  // Destroys and frees every hit, then the array.
  virtual ~ItlClHitlist();
  ItlClHitlist(ItlClHitlist const&) = delete;
  ItlClHitlist& operator=(ItlClHitlist const&) = delete;

  // Appends a new hit. False (nothing added) when the list is full.
  bool add(ItlEnDocPartType type, unsigned int offset, unsigned int length);

  uint32_t getCount() const { return iv_uiCount; }
  uint32_t getCapacity() const { return iv_uiCapacity; }
  // REQUIRES: index < getCount().
  ItlClHitinfo const& get(uint32_t index) const;
  // The array of getCount() hits (null for capacity 0).
  ItlClHitinfo* const* getArray() const { return iv_ppclHits; }

 private:
  ItlClHitinfo** iv_ppclHits;  // owned, iv_uiCapacity slots
  uint32_t iv_uiCount;
  uint32_t iv_uiCapacity;
};

// A cursor over a hit list (not owned; it must outlive the cursor).
class ItlClHitlistIterator {
 public:
  explicit ItlClHitlistIterator(ItlClHitlist const& list)
      : iv_rclList(list), iv_uiIndex(0) {}
  virtual ~ItlClHitlistIterator();

  bool isAtEnd() const { return iv_uiIndex >= iv_rclList.getCount(); }
  // REQUIRES: !isAtEnd().
  ItlClHitinfo const& current() const { return iv_rclList.get(iv_uiIndex); }
  void next() { ++iv_uiIndex; }
  uint32_t getIndex() const { return iv_uiIndex; }
  void setToFirst() { iv_uiIndex = 0; }
  ItlClHitlist const& getList() const { return iv_rclList; }

 private:
  ItlClHitlist const& iv_rclList;
  uint32_t iv_uiIndex;
};

#endif  // ITL_HITLIST_HPP
