// itl_insomodel.hpp: the document model of filter-library documents
// (format INSO, 100004).
//
// Each definition binds a document property of the filter libraries (named
// by its tag name, at most 30 characters, known to ItlClInsoTagTable) to a
// field or an attribute. compileItems files the items by tag number into a
// field table and an attribute table of 99 entries each; one tag may serve
// as a field and as an attribute, but not twice as either (217, 218).
// Failures: ItlClException, return code 8, action Inform, origin
// "source/itl_dl/itl_insomodel:<line>"; the item in work is destroyed.
#ifndef ITL_INSOMODEL_HPP
#define ITL_INSOMODEL_HPP

#include <cstdint>

#include "itl_documentmodel.hpp"

class ItlClInsoModelItem : public ItlClDocumentModelItem {
 public:
  ItlClInsoModelItem() : iv_uiTagNumber(0) {}
  ~ItlClInsoModelItem() override;

  uint32_t getTagNumber() const { return iv_uiTagNumber; }
  void setTagNumber(uint32_t n) { iv_uiTagNumber = n; }

 private:
  uint32_t iv_uiTagNumber;  // 1..99, 0 until set
};

class ItlClInsoModel : public ItlClDocumentModelABase {
 public:
  static constexpr unsigned kTableSize = 99;
  static constexpr unsigned kMaxTagChars = 30;

  explicit ItlClInsoModel(ItlClErrorInfo& errorInfo);
  ~ItlClInsoModel() override;

  // The field (wantField) or attribute definition of tag number
  // `tagNumber`; null for 0, for numbers above 99 and for tags the model
  // does not define.
  ItlClInsoModelItem const* getMatchingItem(unsigned int tagNumber,
                                            bool wantField) const;

  unsigned short getNumFieldDefs() const { return iv_usNumFieldDefs; }
  unsigned short getNumAttrDefs() const { return iv_usNumAttrDefs; }

 protected:
  void loadItem(char const* element, char const** attributes) override;
  void compileItems() override;

 private:
  unsigned short iv_usNumFieldDefs;
  unsigned short iv_usNumAttrDefs;
  ItlClInsoModelItem* iv_apclFields[kTableSize];      // entry t-1: tag t
  ItlClInsoModelItem* iv_apclAttributes[kTableSize];  // not owned
};

#endif  // ITL_INSOMODEL_HPP
