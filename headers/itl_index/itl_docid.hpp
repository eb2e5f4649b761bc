// itl_docid.hpp: a caller's document id on one index (ItlClDocumentID).
//
// A document id moves between a document's caller-chosen name and its
// document number. With name mapping (the configuration's
// DocumentIDMapping, changeable per id) names go through the index's
// document-name mapping: a number is looked up or assigned when it is
// first asked for. Without it the name is the decimal text of the number.
//
// State: the name (bytes, 16-bit length, NUL behind them, in a buffer of
// MaxDocumentIDLength + 1 bytes and at least 11, so that the decimal text
// of any accepted number fits), the number (0 = none) with its has-number
// flag, the do-map flag and the is-new flag the mapping sets.
//
// Accepted numbers are 0..2147483646 (the engine's are signed 32-bit);
// nothing above is ever cut to 32 bits. Failures are ItlClExceptions
// (return code 8, action Inform).
#ifndef ITL_DOCID_HPP
#define ITL_DOCID_HPP

#include <cstdint>

#include "itl_tl_document_id.hpp"

class ItlClIndex;

class ItlClDocumentID : public ItlClTlDocumentIdABase {
 public:
  // Highest number a caller may give.
  static constexpr uint64_t MAX_NUMBER = 2147483646;

  // Borrows `index`, which must outlive the id. Holds nothing yet.
  explicit ItlClDocumentID(ItlClIndex& index);
  // Frees the name buffer. Never throws.
  ~ItlClDocumentID() override;
  ItlClDocumentID(ItlClDocumentID const&) = delete;
  ItlClDocumentID& operator=(ItlClDocumentID const&) = delete;

  // Loads the index; takes the do-map flag and the buffer size from its
  // configuration; empty name, no number.
  void init();

  // The longest name the index takes (MaxDocumentIDLength).
  uint16_t getMaxNameLength() const { return iv_usMaxLength; }

  // REQUIRES: 1 <= length <= getMaxNameLength(). Without name mapping the
  // name must be digits only with a value of at most MAX_NUMBER, else 302
  // (the id then holds the name and no number).
  void setName(char const* name, uint32_t length);
  // Numbers above MAX_NUMBER: 12, nothing changes. Without name mapping
  // the name becomes the number's decimal text; with it the name is
  // fetched when asked for.
  void setNumber(uint64_t number);
  // The name, fetched from the document-name mapping for an id that holds
  // only a number. An id with neither: 302 without asking the mapping.
  // The pointer stays valid until the next set call or the destruction.
  void obtainName(char const*& name, uint32_t& length);
  // The number, assigned through the mapping for a name without one (the
  // mapping's update work set is opened then). Neither: 302.
  uint64_t obtainNumber();
  void setNameMapping(bool doMap) { iv_bDoMap = doMap; }
  bool usesNameMapping() const { return iv_bDoMap; }
  // Looks the name up without assigning: 303 (and an empty id) when the
  // mapping does not hold it live, always 303 without name mapping.
  // REQUIRES: 1 <= length <= getMaxNameLength().
  void retrieveByName(char const* name, uint32_t length);

  // Empty name, no number.
  void clear();
  bool hasNumber() const { return iv_bHasNumber; }
  // The number as it stands (0 when none is held).
  uint64_t getNumber() const { return iv_ui64Number; }
  uint16_t getNameLength() const { return iv_usLength; }
  char const* getName() const { return iv_pcName; }
  ItlClIndex& getIndex() const { return iv_rclIndex; }

  // The text layer's view.
  uint64_t getDocumentNumber() const override;
  bool isNewDocument() const override { return iv_bIsNew; }
  char const* getDocumentName(uint16_t& length) const override;

  // Assigns the number of the held name through the mapping (always asks
  // it, so that a number remembered from a transaction that was rolled
  // back is never used again); an id without a name keeps its number.
  // Neither: 302. Returns the number.
  uint64_t assignForUpdate();
  // Without name mapping no map knows whether a number is new to the
  // index; the update tells it (the engine refuses to replace a document
  // of an index that has no files yet).
  void setNewDocument(bool isNew) { iv_bIsNew = isNew; }

 private:
  void storeName(char const* name, uint32_t length);

  ItlClIndex& iv_rclIndex;
  char* iv_pcName;           // owned (memory manager); iv_uiCapacity bytes
  uint32_t iv_uiCapacity;
  uint16_t iv_usLength;      // bytes of name, 0 = none
  uint16_t iv_usMaxLength;   // MaxDocumentIDLength, 1..4096
  mutable uint64_t iv_ui64Number;  // 0 = none
  mutable bool iv_bHasNumber;
  mutable bool iv_bIsNew;
  bool iv_bDoMap;
};

#endif  // ITL_DOCID_HPP
