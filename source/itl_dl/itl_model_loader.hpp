// itl_model_loader.hpp: the steps that the GPP, HTML and INSO loaders
// share (private): the root element, the kind of a definition element, the
// parameters name, type and exclude, and the missing-parameter checks.
// Each format gives its own element names and its own fixed failing places.
#ifndef ITL_MODEL_LOADER_HPP
#define ITL_MODEL_LOADER_HPP

class ItlClDocumentModelItem;

// One fixed failing place: origin literal "<file>:<line>" and the line.
struct ItlStModelSite {
  char const* origin;
  unsigned line;
};

// The element names of one format.
struct ItlStModelVocabulary {
  char const* root;
  char const* field;
  char const* attribute;
};

// The failing places of one format's shared steps.
struct ItlStModelLoaderSites {
  ItlStModelSite wrongRoot;           // 209: first element is not the root
  ItlStModelSite wrongElement;        // 209: not a definition element
  ItlStModelSite emptyName;           // 207: "name" is empty
  ItlStModelSite typeInField;         // 206: "type" in a field definition
  ItlStModelSite badType;             // 207: unknown type value
  ItlStModelSite excludeInAttribute;  // 206: "exclude" in an attribute
  ItlStModelSite badExclude;          // 207: neither YES nor NO
  ItlStModelSite unknownParameter;    // 206
  ItlStModelSite noName;              // 208: "name" missing
  ItlStModelSite noType;              // 208: attribute without "type"
};

// True when `element` was the root and is now accepted (rootSeen set);
// false once the root has been seen. Reason 209 for another first element.
bool itlModelAcceptRoot(bool& rootSeen, char const* element,
                        ItlStModelVocabulary const& vocabulary,
                        ItlStModelLoaderSites const& sites);
// True for a field definition element, false for an attribute definition;
// reason 209 for any other element.
bool itlModelIsFieldDefinition(char const* element,
                               ItlStModelVocabulary const& vocabulary,
                               ItlStModelLoaderSites const& sites);
// Handles "name", "type" and "exclude" on `item`; false for any other
// parameter. `traceFunction` names the loader in the trace.
bool itlModelReadCommonParameter(ItlClDocumentModelItem& item, bool isField,
                                 char const* name, char const* value,
                                 ItlStModelLoaderSites const& sites,
                                 char const* traceFunction);
// Reason 206 for a parameter no step knows.
[[noreturn]] void itlModelRaiseUnknownParameter(
    char const* name, ItlStModelLoaderSites const& sites);
// Reason 208 when the item has no name.
void itlModelCheckName(ItlClDocumentModelItem const& item,
                       ItlStModelLoaderSites const& sites);
// Reason 208 when an attribute definition set no type.
void itlModelCheckType(ItlClDocumentModelItem const& item, bool isField,
                       ItlStModelLoaderSites const& sites);

#endif  // ITL_MODEL_LOADER_HPP
