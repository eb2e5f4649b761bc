// itl_field_num_set.hpp: a small set of 16-bit field numbers.
//
// The highlighter fills it with the fields a caller restricts highlighting
// to; the XML offset mapper asks it for each field it enters. Numbers stay
// in the order added, without duplicates; lookups are linear (a set holds a
// few numbers). The array comes from the cos memory manager; a failed
// allocation throws the memory manager's out-of-memory exception.
#ifndef ITL_FIELD_NUM_SET_HPP
#define ITL_FIELD_NUM_SET_HPP

#include <cstdint>

class ItlClFieldNumSet {
 public:
  explicit ItlClFieldNumSet(unsigned int capacity);
  virtual ~ItlClFieldNumSet();
  ItlClFieldNumSet(ItlClFieldNumSet const&) = delete;
  ItlClFieldNumSet& operator=(ItlClFieldNumSet const&) = delete;

  // Adds `number` unless present; a full array grows to capacity * 1.5 + 2.
  void add(unsigned short number);
  bool contains(unsigned short number) const;

  uint32_t getCount() const { return iv_uiCount; }
  uint32_t getCapacity() const { return iv_uiCapacity; }
  // REQUIRES: index < getCount().
  unsigned short get(uint32_t index) const { return iv_pusNumbers[index]; }

 private:
  unsigned short* iv_pusNumbers;  // owned, iv_uiCapacity entries
  uint32_t iv_uiCount;
  uint32_t iv_uiCapacity;
};

#endif  // ITL_FIELD_NUM_SET_HPP
