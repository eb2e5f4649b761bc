// itl_documentmodel.hpp: the base of every document model and its items.
//
// A document model is an ordered list of items, each defining one field or
// one attribute that a parser produces from a document. The base owns the
// items, parses the model's definition text (UTF-8 XML) with Expat, hands
// every start tag to the subclass's loadItem, and lets the subclass check
// and prepare its items afterwards (compileItems, called once after a
// successful parse).
//
// Memory: names, items and the item array come from the cos memory
// manager; the model owns all of them.
// Errors: ItlClException (return code 8, action Inform); out-of-memory
// passes through as the memory manager's cos exception. After a failed
// parse the model is not loaded; the items read so far stay, and the Expat
// parser stays too, so that addParsingContext can give the row and column.
// No exception ever unwinds through Expat's frames.
#ifndef ITL_DOCUMENTMODEL_HPP
#define ITL_DOCUMENTMODEL_HPP

#include <expat.h>

#include <cstddef>
#include <cstdint>

#include "itl_codes.hpp"
#include "itl_document_format.hpp"

class ItlClErrorInfo;
class ItlClException;
class ItlClExpatGuard;

// One field or attribute definition of a model.
class ItlClDocumentModelItem {
 public:
  // No name, type ITL_MODEL_ITEM_FIELD (100003), exclude false.
  ItlClDocumentModelItem();
  virtual ~ItlClDocumentModelItem();
  ItlClDocumentModelItem(ItlClDocumentModelItem const&) = delete;
  ItlClDocumentModelItem& operator=(ItlClDocumentModelItem const&) = delete;

  // Items live in memory of the cos memory manager (new throws its
  // out-of-memory exception).
  static void* operator new(size_t size);
  static void operator delete(void* p);

  // "DATE", "NUMBER", "STRING" in any case set the type and give true;
  // any other text gives false and leaves the type.
  bool setTypeFromChars(char const* text);
  // Stores a copy of `name` (memory manager); the old name is freed.
  void setName(char const* name);

  char const* getName() const { return iv_pszName; }
  ItlEnAttributeType getType() const { return iv_enType; }
  bool isField() const { return iv_enType == ITL_MODEL_ITEM_FIELD; }
  bool isExcluded() const { return iv_bExclude; }
  void setExclude(bool exclude) { iv_bExclude = exclude; }

 protected:
  char* iv_pszName;              // owned (memory manager), may be null
  ItlEnAttributeType iv_enType;  // 100000..100002, or 100003 for a field
  bool iv_bExclude;
};

// Expat's start-element handler: `userData` is the model.
extern "C" void itlModelParserStartElement(void* userData, char const* element,
                                           char const** attributes);

class ItlClDocumentModelABase {
 public:
  // Most items a model holds.
  static constexpr unsigned kMaxItems = 65535;

  ItlClDocumentModelABase(ItlClErrorInfo& errorInfo,
                          ItlEnDocumentFormat format);
  virtual ~ItlClDocumentModelABase();
  ItlClDocumentModelABase(ItlClDocumentModelABase const&) = delete;
  ItlClDocumentModelABase& operator=(ItlClDocumentModelABase const&) = delete;

  // Parses a definition text of `length` bytes (see the header comment).
  // Reasons: 604 when Expat cannot make a parser, the mapped Expat error
  // (600..622) for a text that is not well-formed; what loadItem and
  // compileItems raise passes through unchanged.
  void loadFromBuffer(char const* text, unsigned int length);
  // Calls loadItem (the start-element handler's target).
  void startElement(char const* element, char const** attributes);

  // Appends an item; the model owns it once this returns. Reason 205 when
  // the model already holds kMaxItems items: every item is then destroyed
  // and the model holds none; `item` stays the caller's to destroy.
  void addItem(ItlClDocumentModelItem const* item);
  // REQUIRES: index < getItemCount().
  ItlClDocumentModelItem* getItem(unsigned short index) const;
  unsigned short getItemCount() const { return iv_usItemCount; }

  // Context lines: "Document model: <name>" ("***" without a name), then,
  // while the Expat parser of a failed parse is kept, "Syntax error at
  // (row, column): (<row>,<column>)".
  void addParsingContext(ItlClException& e) const;

  // "YES" or "NO" in any case set `flag` and give true; any other text
  // gives false and leaves `flag`.
  static bool readYesOrNo(char const* text, bool& flag);

  ItlEnDocumentFormat getFormat() const { return iv_enFormat; }
  char const* getName() const { return iv_pszName; }
  // Stores a copy of `name` (memory manager).
  void setName(char const* name);
  bool isLoaded() const { return iv_bLoaded; }
  unsigned short getTablePosition() const { return iv_usTablePosition; }
  void setTablePosition(unsigned short p) { iv_usTablePosition = p; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }
  bool hasXmlParser() const { return iv_pXmlParser != nullptr; }

 protected:
  // One start tag of the definition: element name and the null-terminated
  // list of attribute name and value pointers.
  virtual void loadItem(char const* element, char const** attributes) = 0;
  // Called once after a successful parse; nothing here.
  virtual void compileItems() {}

  bool iv_bRootSeen;  // set by loadItem once it has accepted the root

 private:
  friend void itlModelParserStartElement(void*, char const*, char const**);
  void enlargeArray();
  void freeArray();
  void freeParser();

  unsigned short iv_usTablePosition;
  ItlClErrorInfo& iv_rclErrorInfo;
  ItlEnDocumentFormat iv_enFormat;
  char* iv_pszName;                       // owned, null until named
  ItlClDocumentModelItem** iv_ppclItems;  // owned, definition order
  XML_Parser iv_pXmlParser;               // of a parse in progress or failed
  ItlClExpatGuard* iv_pclGuard;           // while XML_Parse runs, else null
  unsigned short iv_usItemArrayCapacity;
  unsigned short iv_usItemCount;
  bool iv_bLoaded;
};

// A NUL-terminated UTF-16 copy of UTF-8 `text` (memory manager; the caller
// frees it): a buffer of the converter's largest size for the bytes plus 2,
// a NUL after the converted bytes. A conversion failure is raised through
// the cos error mapping.
unsigned short* itlModelConvertToUTF16(char const* text);


#endif  // ITL_DOCUMENTMODEL_HPP
