// itl_gppmodel.hpp: the document model of structured documents (format
// STRUCTURED, 100003).
//
// A structured document marks fields and attributes by literal strings:
// one begins where its start string stands and ends at its end string (or,
// without one, at the next start string). The definition text has the root
// "GPPModel" and the elements "GPPFieldDefinition" and
// "GPPAttributeDefinition" with the parameters name, type (attributes
// only), exclude (fields only), start and end. compileItems proves with a
// tag finder that all start strings can be told apart.
// Failures: ItlClException, return code 8, action Inform, origin
// "source/itl_dl/itl_gppmodel:<line>"; the item in work is destroyed, the
// items added before stay.
#ifndef ITL_GPPMODEL_HPP
#define ITL_GPPMODEL_HPP

#include "itl_documentmodel.hpp"

// One definition: the base item plus its start and end strings.
class ItlClGppModelItem : public ItlClDocumentModelItem {
 public:
  ItlClGppModelItem();
  ~ItlClGppModelItem() override;

  // NUL-terminated UTF-16; the start string is never null in a loaded
  // model, the end string is null when the definition gives none.
  unsigned short const* getStartString() const { return iv_pusStart; }
  unsigned short const* getEndString() const { return iv_pusEnd; }
  // Store UTF-16 copies of UTF-8 text (the old string is freed).
  void setStartString(char const* utf8);
  void setEndString(char const* utf8);

 private:
  unsigned short* iv_pusStart;  // owned (memory manager)
  unsigned short* iv_pusEnd;    // owned, may be null
};

class ItlClGppModel : public ItlClDocumentModelABase {
 public:
  // Longest start or end value, in UTF-8 bytes.
  static constexpr unsigned kMaxTagBytes = 1024;

  explicit ItlClGppModel(ItlClErrorInfo& errorInfo);
  ~ItlClGppModel() override;

  // Registers every item in a local tag finder, in definition order; the
  // finder's failure (650, 651, 652) passes on.
  void checkConsistency() const;

  ItlClGppModelItem const* getGppItem(unsigned short index) const {
    return static_cast<ItlClGppModelItem const*>(getItem(index));
  }

 protected:
  void loadItem(char const* element, char const** attributes) override;
  void compileItems() override;
};

#endif  // ITL_GPPMODEL_HPP
