// itl_text_analysis.hpp: the text analysis between the text document and
// the index's kernel interface.
//
// The text document gives it a document's UTF-16 text and delimiters; it
// normalises them with the normaliser that fits the index settings, the
// document CCSID and the language (Thai text gets its words separated),
// collects the result in one buffer per document and hands the buffer's
// contents to the kernel interface in partitions: when the buffer runs
// full, when the text document needs an exact text position (field and
// segment boundaries) and at the end of the document.
//
// The buffer: one chunk of the index update's pool per document, as large
// as the pool can give (at least MIN_CHUNK bytes). Its first unit holds a
// blank; the text area of `capacity` units follows. A forced partition
// ends at the latest delimiter, else before the unfinished word at the end
// of the buffer (whose preceding blank stays with it); only a word longer
// than the whole buffer is handed over in pieces. Concatenated, the
// partitions are exactly the normalised text.
//
// Ownership: the text document owns one ItlClTextAnalysisUpdate, which
// owns one ItlClTextAnalysisUpdateVoz, which contains the buffer, which
// owns the normaliser.
#ifndef ITL_TEXT_ANALYSIS_HPP
#define ITL_TEXT_ANALYSIS_HPP

#include <cstdint>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"

class CosClMemoryPool;
class ItlClNormalization;
class ItlClTextAnalysisUpdateABase;
class ItlClTlDocumentIdABase;
class ItlClTlIndexPort;

class ItlClTextAnalysisBuffer {
 public:
  // The smallest chunk taken from the pool, in bytes.
  static constexpr unsigned int MIN_CHUNK = 64;

  // Owns a plain-copy normaliser until the first document.
  ItlClTextAnalysisBuffer(ItlClTextAnalysisUpdateABase& owner,
                          ItlClTlIndexPort& port);
  ~ItlClTextAnalysisBuffer();
  ItlClTextAnalysisBuffer(ItlClTextAnalysisBuffer const&) = delete;
  ItlClTextAnalysisBuffer& operator=(ItlClTextAnalysisBuffer const&) = delete;

  void init() {}
  // Takes a fresh chunk of `pool` and chooses the normaliser. A pool that
  // cannot give MIN_CHUNK bytes fails as out of memory.
  void startDocument(CosClMemoryPool& pool, CosClCCSID const& ccsid,
                     CosClLanguage const& language);
  // Both return the number of normalised units written.
  unsigned int addText(unsigned short const* text, unsigned int length);
  unsigned int addDelimiter();
  // Hands all buffered text to the owner.
  void flushBuffer();
  void endDocument() { flushBuffer(); }
  // The length of the next forced partition (see the file comment); clears
  // the delimiter mark.
  unsigned int getPartitionLength();

  unsigned int getCapacity() const { return iv_uiCapacity; }
  ItlClNormalization const* getNormalizer() const { return iv_pclNormalizer; }

 private:
  // Hands the next partition over and moves the rest to the text start;
  // does nothing while the buffer holds one unfinished word that can still
  // grow by one unit.
  void makeRoom();
  // No delimiter is pending and the buffered text is one unfinished word,
  // perhaps after one blank.
  bool holdsOneUnfinishedWord() const;
  unsigned int buffered() const {
    return static_cast<unsigned int>(iv_pusWrite - iv_pusText);
  }

  ItlClTextAnalysisUpdateABase& iv_rclOwner;
  ItlClTlIndexPort& iv_rclPort;
  ItlClNormalization* iv_pclNormalizer;  // owned
  uint32_t iv_uiFactor;                  // most units one unit becomes
  unsigned short* iv_pusStart;           // the blank before the text
  unsigned short* iv_pusText;            // iv_pusStart + 1
  unsigned short* iv_pusWrite;           // next unit to write
  unsigned short* iv_pusMark;            // latest delimiter, or null
  uint32_t iv_uiCapacity;                // units of the text area
  uint32_t iv_uiFree;                    // units left after iv_pusWrite
};

class ItlClTextAnalysisABase {
 public:
  virtual ~ItlClTextAnalysisABase();
  ItlClTextAnalysisABase(ItlClTextAnalysisABase const&) = delete;
  ItlClTextAnalysisABase& operator=(ItlClTextAnalysisABase const&) = delete;

  virtual void init() = 0;
  // Stores the language when it or its territory differs from the current.
  void setLanguage(CosClLanguage const& language);
  // Unspecified language and territory (0, 0).
  void resetLanguage();
  CosClLanguage const& getLanguage() const { return iv_clLanguage; }

 protected:
  // The language starts one past the tables' last entries, so that the
  // first setLanguage always counts as a change.
  ItlClTextAnalysisABase(CosClMemoryPool& pool, ItlClTlIndexPort& port);

  CosClMemoryPool& iv_rclPool;
  ItlClTlIndexPort& iv_rclPort;  // configuration and kernel interface
  CosClLanguage iv_clLanguage;
};

class ItlClTextAnalysisUpdateABase : public ItlClTextAnalysisABase {
 public:
  ~ItlClTextAnalysisUpdateABase() override;

  // resetLanguage(), then startDocumentImp.
  virtual void startDocument(ItlClTlDocumentIdABase const& id,
                             CosClCCSID const& ccsid);
  // Starts a document in the current language: takes the document number
  // (assigned here when the id has none; ItlClException 302 when it has
  // neither number nor name), zeroes the count and the state, starts the
  // buffer.
  void startDocumentImp(ItlClTlDocumentIdABase const& id,
                        CosClCCSID const& ccsid);
  // Hands one partition on; returns the new processing state.
  virtual uint32_t processDocument(unsigned short const* text,
                                   unsigned int length, uint32_t state) = 0;
  // Flushes the buffer; number 0, state 1.
  virtual void endDocument();

  ItlClTextAnalysisBuffer& getBuffer() { return iv_clBuffer; }
  uint64_t getDocumentNumber() const { return iv_ulDocumentNumber; }
  // Normalised units of this document; the text document adds to it.
  uint64_t getAnalysedUnits() const { return iv_ulAnalysedUnits; }
  void addAnalysedUnits(unsigned int units) { iv_ulAnalysedUnits += units; }
  uint32_t getProcessingState() const { return iv_uiState; }
  void setProcessingState(uint32_t state) { iv_uiState = state; }

 protected:
  ItlClTextAnalysisUpdateABase(CosClMemoryPool& pool, ItlClTlIndexPort& port);

  ItlClTextAnalysisBuffer iv_clBuffer;
  uint64_t iv_ulDocumentNumber;  // 0 outside a document
  uint64_t iv_ulAnalysedUnits;
  uint32_t iv_uiState;           // 0 in a document, 1 after its end
};

// Hands each partition to the kernel interface's document text.
class ItlClTextAnalysisUpdateVoz : public ItlClTextAnalysisUpdateABase {
 public:
  ItlClTextAnalysisUpdateVoz(CosClMemoryPool& pool, ItlClTlIndexPort& port)
      : ItlClTextAnalysisUpdateABase(pool, port) {}
  void init() override {}
  uint32_t processDocument(unsigned short const* text, unsigned int length,
                           uint32_t state) override;
};

// The owner of the text analysis object; empty until init.
class ItlClTextAnalysisUpdate {
 public:
  ItlClTextAnalysisUpdate() = default;
  ~ItlClTextAnalysisUpdate();
  ItlClTextAnalysisUpdate(ItlClTextAnalysisUpdate const&) = delete;
  ItlClTextAnalysisUpdate& operator=(ItlClTextAnalysisUpdate const&) = delete;

  // Makes the text analysis object (memory manager) once.
  void init(CosClMemoryPool& pool, ItlClTlIndexPort& port);
  // REQUIRES: init was called.
  ItlClTextAnalysisUpdateABase& get() const { return *iv_pclAnalysis; }
  bool isInitialised() const { return iv_pclAnalysis != nullptr; }

 private:
  ItlClTextAnalysisUpdateABase* iv_pclAnalysis = nullptr;
};

#endif  // ITL_TEXT_ANALYSIS_HPP
