// itl_documentmodels.hpp: the document-model store of one index.
//
// ItlClDocumentModels keeps every document model ever added to an index in
// two files of the index directory:
//   - "<index>.mox": the definitions, byte for byte as given, one after the
//     other (no header, no separator);
//   - "<index>.mdx": the directory, an XML list of {name, type, offset,
//     isdefault} in the order the models were added.
// A model is identified by (name, format). Models listed in the directory
// are parsed from the model file when first asked for; the defaults are
// parsed when the index is loaded (the init event).
//
// Durability: the directory is replaced as a whole (temporary file, fsync,
// rename, directory fsync). `add` first lists the new model at the size
// the store accounts for, then writes its bytes at that offset and cuts the
// model file there, so a failure or a kill at any moment spoils no model
// added before. Entries that point at or past the end of the model file
// (a kill between the two steps) are dropped when the directory is read.
// The store takes no part in update transactions: a rollback undoes no
// `add` and no default choice.
//
// Names are written with '"', '&' and '<' escaped; a name holding a
// control character or bad UTF-8 is refused (reason 200).
//
// Errors: ItlClException (return code 8, action Inform); a bad directory
// entry is recorded in the error info (reason 213), the entries before it
// kept and the rest ignored. No exception unwinds through Expat.
#ifndef ITL_DOCUMENTMODELS_HPP
#define ITL_DOCUMENTMODELS_HPP

#include <cstdint>
#include <cstdio>

#include "cos_filename.hpp"
#include "itl_document_format.hpp"
#include "itl_index_file.hpp"

class ItlClDocumentModelABase;
class ItlClErrorInfo;
class ItlClIndexLocation;

// The start-element handler of the directory parse: `userData` is the
// store.
extern "C" void itlModelDirParserStartElement(void* userData,
                                              char const* element,
                                              char const** attributes);

class ItlClDocumentModels : public ItlClIndexFileBase {
 public:
  static constexpr unsigned kMaxModels = 65535;
  static constexpr uint32_t kMaxModelFileSize = 0x7FFFFFFF;

  // Nothing is read until the init event. Models are built with
  // `errorInfo`, where bad directory entries are recorded too.
  ItlClDocumentModels(ItlClIndexLocation const& location,
                      ItlClErrorInfo& errorInfo);
  ~ItlClDocumentModels() override;

  // Adds a model of `length` bytes of definition text under `name`.
  // Reasons: 200 bad name, 204 store full, 209 format not found, 203
  // (name, format) exists, what the model's parse raises, 18/21 writing.
  void add(char const* name, char const* text, unsigned int length);
  // Reasons: 202 (name, format) unknown; what a lazy load raises.
  void setDefaultModel(char const* name, ItlEnDocumentFormat format);
  // Reason 25 for TEXT or a value that is no format.
  void resetDefaultModel(ItlEnDocumentFormat format);
  // Null name: the default of the format (null when none; every format
  // but STRUCTURED, HTML and INSO asks for the XML default). A name: the
  // model (name, format), loaded; reason 202 when unknown.
  ItlClDocumentModelABase* getDocumentModel(char const* name,
                                            ItlEnDocumentFormat format) const;
  // The format of a definition text from its root element name (first
  // three characters, within the first 1024 bytes); reason 209 otherwise.
  void detectFormat(char const* text, unsigned int length,
                    ItlEnDocumentFormat& format) const;
  // "TEXT", "HTML", "XML", "STRUCTURED", "INSO"; "" for other values.
  static char const* getFormatAsString(ItlEnDocumentFormat format);

  unsigned short getModelCount() const { return iv_usModelCount; }
  // REQUIRES: position < getModelCount(). Listed or loaded.
  ItlClDocumentModelABase* getModelAt(unsigned short position) const;
  uint32_t getModelOffset(unsigned short position) const;
  uint32_t getModelFileSize() const { return iv_uiModelFileSize; }

  CosClFilename getModelFileName() const;
  CosClFilename getModelDirFileName() const;

  // Index-file events.
  void onIndexFileCreate() override;
  void onIndexFileDestroy() override;
  void onIndexFileRename(char const* newIndexName) override;
  void onIndexFileCopy(char const* targetDirectory) override;
  void onIndexFileMove(char const* targetDirectory) override;
  void onIndexFileInit() override;

 private:
  friend void itlModelDirParserStartElement(void*, char const*, char const**);
  struct Entry {
    ItlClDocumentModelABase* model;  // owned
    uint32_t offset;
  };

  void init();
  void create();
  void loadModelDir();
  // Replaces the directory by the table (with the first `count` entries).
  void saveModelDir(unsigned count) const;
  void ensureModelLoaded(unsigned short position) const;
  ItlClDocumentModelABase* createModel(ItlEnDocumentFormat format,
                                       char const* name) const;
  bool findModelIdx(char const* name, ItlEnDocumentFormat format,
                    unsigned short& position) const;
  void setDefaultModelLocal(ItlClDocumentModelABase* model,
                            ItlEnDocumentFormat format);
  ItlClDocumentModelABase* const* defaultSlot(ItlEnDocumentFormat format) const;
  void startElement(char const* element, char const** attributes);
  void readEntry(char const** attributes);
  void enlargeArray();
  void freeArray();
  void closeStream() const;
  void openStreamForReading() const;
  // Appends `length` bytes at iv_uiModelFileSize and cuts the file there.
  void writeDefinition(char const* text, unsigned int length);
  CosClFilename getDirTempFileName() const;

  ItlClErrorInfo& iv_rclErrorInfo;
  Entry* iv_pstModels;  // memory manager, capacity entries
  unsigned short iv_usModelArrayCapacity;
  unsigned short iv_usModelCount;
  ItlClDocumentModelABase* iv_pclDefaultGpp;
  ItlClDocumentModelABase* iv_pclDefaultHtml;
  ItlClDocumentModelABase* iv_pclDefaultXml;
  ItlClDocumentModelABase* iv_pclDefaultInso;
  uint32_t iv_uiModelFileSize;
  mutable FILE* iv_pModelFile;  // null while closed
  bool iv_bDirFailed;
  bool iv_bDirRootSeen;
};

#endif  // ITL_DOCUMENTMODELS_HPP
