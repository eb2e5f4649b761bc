// itl_xmlmodel.hpp: the document model of XML documents (format XML,
// 100002).
//
// A definition text has the root "XMLModel" and the elements
// "XMLFieldDefinition" (name, exclude, locator, priority) and
// "XMLAttributeDefinition" (name, type, locator, priority). Each locator
// alternative ("a|b") becomes an item of its own with a compiled
// ItlClXpathMatcher; the priority (-1.0 .. 1.0) is the definition's or the
// locator's default. Names may hold one variable, "$(NAME)",
// "$(LOCALNAME)" or "$(PATH)", which expandItemName replaces for a node.
//
// While a document is parsed the XML parser asks getMatchingItem for the
// item that selects the node at the tail of its element path: the matching
// item of the wanted kind with the highest priority, the later one on ties.
//
// Failures: ItlClException, return code 8, action Inform, origin
// "source/itl_dl/itl_xmlmodel:<line>"; locators that cannot be compiled
// throw the matcher's exceptions. A refused item is never added; items
// added before it (earlier alternatives of the same locator included)
// stay. Matching never fails; expandItemName writes the model's one name
// buffer, so its result is valid until the next call on the model.
#ifndef ITL_XMLMODEL_HPP
#define ITL_XMLMODEL_HPP

#include "itl_documentmodel.hpp"
#include "itl_xpath_matcher.hpp"

class ItlClXmlDocPath;

class ItlClXmlModelItem : public ItlClDocumentModelItem {
 public:
  // No name, field kind, exclude false, no locator, priority 0.0.
  ItlClXmlModelItem() : iv_fPriority(0.0f) {}
  ~ItlClXmlModelItem() override;

  // Checks the first "$(" variable of the name: "(NAME)", "(LOCALNAME)"
  // and "(PATH)" pass, any other throws reason 200. Later variables are
  // ordinary text.
  void checkNameSyntax() const;
  // The locator's default priority.
  void setDefaultPriority() { iv_fPriority = iv_clLocator.determineDefaultPriority(); }

  ItlClXpathMatcher& getLocator() { return iv_clLocator; }
  ItlClXpathMatcher const& getLocator() const { return iv_clLocator; }
  float getPriority() const { return iv_fPriority; }
  void setPriority(float priority) { iv_fPriority = priority; }

 private:
  friend class ItlClXmlModel;  // copies the kind (cloneItemExceptLocator)

  ItlClXpathMatcher iv_clLocator;  // one alternative of the locator
  float iv_fPriority;              // -1.0 .. 1.0
};

class ItlClXmlModel : public ItlClDocumentModelABase {
 public:
  // Size of the expanded-name buffer, the terminating zero included.
  static constexpr unsigned kNameBufferSize = 1024;

  explicit ItlClXmlModel(ItlClErrorInfo& errorInfo);
  ~ItlClXmlModel() override;

  // The field (wantField) or attribute definition selecting the node at
  // the tail of `path`, or null. Never returns the other kind.
  ItlClXmlModelItem const* getMatchingItem(ItlClXmlDocPath const& path,
                                           bool wantField) const;
  // The item's name with its first variable replaced for the node at the
  // tail of `path`: the item's own name when it has none, else the model's
  // buffer (at most 1023 characters), overwritten by the next call. Empty
  // for "$(NAME)" on a comment.
  char const* expandItemName(ItlClXmlModelItem const& item,
                             ItlClXmlDocPath const& path) const;
  // Copies name (a new owned copy), kind, exclude flag and priority of
  // `source` into `target`; not the locator.
  void cloneItemExceptLocator(ItlClXmlModelItem& target,
                              ItlClXmlModelItem const& source) const;

  ItlClXmlModelItem const* getXmlItem(unsigned short index) const {
    return static_cast<ItlClXmlModelItem const*>(getItem(index));
  }
  unsigned short getNumFieldDefs() const { return iv_usNumFieldDefs; }
  unsigned short getNumAttrDefs() const { return iv_usNumAttrDefs; }

 protected:
  void loadItem(char const* element, char const** attributes) override;

 private:
  unsigned short iv_usNumFieldDefs;  // definition elements read (trace only)
  unsigned short iv_usNumAttrDefs;
  mutable char iv_acNameBuffer[kNameBufferSize];  // last expanded name
};

#endif  // ITL_XMLMODEL_HPP
