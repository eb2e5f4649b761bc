// itl_htmlmodel.hpp: the document model of HTML documents (100001).
//
// A definition names a field tag of the HTML parser ("title", "h1", ...;
// see ItlClHtmlTagTable::isHTMLFieldTag) or, with the tag "meta", the name
// of a META element (the meta qualifier). compileItems sorts the items into
// four arrays (fields, attributes, meta fields, meta attributes) that the
// parser searches by binary search in code-unit order (u_strcmp). Tags are
// stored with A-Z folded to a-z; meta qualifiers exactly as written.
// Failures: ItlClException, return code 8, action Inform, origin
// "source/itl_dl/itl_htmlmodel:<line>"; the item in work is destroyed.
#ifndef ITL_HTMLMODEL_HPP
#define ITL_HTMLMODEL_HPP

#include "itl_documentmodel.hpp"

class ItlClHtmlModelItem : public ItlClDocumentModelItem {
 public:
  ItlClHtmlModelItem();
  ~ItlClHtmlModelItem() override;

  // NUL-terminated UTF-16; the tag is never null in a loaded model, the
  // meta qualifier is null when none was given (it may be empty).
  unsigned short const* getTag() const { return iv_pusTag; }
  unsigned short const* getMetaQualifier() const { return iv_pusMetaQualifier; }
  // UTF-16 copy of UTF-8 `text` with A-Z folded to a-z.
  void setTag(char const* text);
  // UTF-16 copy of UTF-8 `text`, unchanged.
  void setMetaQualifier(char const* text);

 private:
  unsigned short* iv_pusTag;            // owned (memory manager)
  unsigned short* iv_pusMetaQualifier;  // owned, may be null
};

class ItlClHtmlModel : public ItlClDocumentModelABase {
 public:
  static constexpr unsigned kMaxTagBytes = 1024;

  explicit ItlClHtmlModel(ItlClErrorInfo& errorInfo);
  ~ItlClHtmlModel() override;

  // The item whose tag equals the `length` units at `name` (need not be
  // NUL-terminated), among the fields (bMatchFields) or the attributes
  // without meta qualifier; null when none.
  ItlClHtmlModelItem const* getMatchingItem(unsigned short const* name,
                                            unsigned int length,
                                            bool bMatchFields) const;
  // The same among the items with a meta qualifier, by meta qualifier.
  ItlClHtmlModelItem const* getMatchingMetaItem(unsigned short const* name,
                                                unsigned int length,
                                                bool bMatchFields) const;

  unsigned short getNumFieldDefs() const { return iv_usNumFieldDefs; }
  unsigned short getNumAttrDefs() const { return iv_usNumAttrDefs; }
  unsigned short getNumMetaFieldDefs() const { return iv_usNumMetaFieldDefs; }
  unsigned short getNumMetaAttrDefs() const { return iv_usNumMetaAttrDefs; }

 protected:
  void loadItem(char const* element, char const** attributes) override;
  void compileItems() override;

 private:
  void freeArrays();

  unsigned short iv_usNumFieldDefs;      // after compile: field array length
  unsigned short iv_usNumAttrDefs;       // after compile: attribute array
  unsigned short iv_usNumMetaFieldDefs;
  unsigned short iv_usNumMetaAttrDefs;
  ItlClHtmlModelItem** iv_ppclFields;      // owned arrays (memory manager)
  ItlClHtmlModelItem** iv_ppclAttributes;  // of items the base owns
  ItlClHtmlModelItem** iv_ppclMetaFields;
  ItlClHtmlModelItem** iv_ppclMetaAttributes;
};

// Comparisons for qsort and bsearch over the arrays.
extern "C" int itlModelHtmlItemCompareByTag(void const* a, void const* b);
extern "C" int itlModelHtmlItemCompareByMetaQ(void const* a, void const* b);
extern "C" int itlModelHtmlItemCompareStringWithTag(void const* key,
                                                     void const* item);
extern "C" int itlModelHtmlItemCompareStringWithMetaQ(void const* key,
                                                       void const* item);

#endif  // ITL_HTMLMODEL_HPP
