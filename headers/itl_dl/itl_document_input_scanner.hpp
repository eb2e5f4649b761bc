// itl_document_input_scanner.hpp: a caller's document as one UTF-16 buffer.
//
// The scanner converts a document of any supported CCSID once, as a whole,
// into UTF-16 in host byte order, and hands it to a parser as one buffer
// (getNextBuffer). Filter-library documents are handed over unconverted
// (setInputTextNoConv, getInputBuffer). A byte-order mark at the start is
// dropped and its bytes counted (getSkippedBytes), so that offsets in the
// converted text can be related back to the caller's bytes.
// The scanner never owns the caller's bytes: they must stay valid while
// the parser reads. Its buffer comes from the cos memory manager, grows with
// 16384 bytes of slack and is kept from document to document.
#ifndef ITL_DOCUMENT_INPUT_SCANNER_HPP
#define ITL_DOCUMENT_INPUT_SCANNER_HPP

#include <cstdint>

#include "cos_converter.hpp"

class CosClMemoryPool;

class ItlClDocumentInputScanner {
 public:
  // Converter for CCSID 1208, no document, complete.
  ItlClDocumentInputScanner();
  virtual ~ItlClDocumentInputScanner();
  ItlClDocumentInputScanner(ItlClDocumentInputScanner const&) = delete;
  ItlClDocumentInputScanner& operator=(ItlClDocumentInputScanner const&) =
      delete;

  // Takes and converts `length` bytes at `data` in CCSID `ccsid` (the pool
  // is not used). Throws ItlClException: reason 11 with the context line
  // "Document CCSID" for a CCSID the converter cannot read (the scanner then
  // needs a reset), the mapped cos error for bad input; the memory
  // manager's exception when memory runs out.
  void setInputText(CosClMemoryPool& pool, void const* data,
                    unsigned int length, CosClCCSID const& ccsid);
  // Records the bytes without converting them.
  void setInputTextNoConv(void const* data, unsigned int length);
  // The raw bytes (after a dropped mark) and their number.
  void const* getInputBuffer(unsigned int& length) const;
  // The converted text from the read position to its end (length in code
  // units), moving the read position to the end; null and 0 when nothing
  // is left.
  unsigned short const* getNextBuffer(unsigned int& length);
  // Forgets the document; the buffer and the converter stay.
  void reset();

  // Bytes of byte-order marks dropped at the start of the document.
  uint32_t getSkippedBytes() const { return iv_uiSkippedBytes; }
  // The converted text, for parsers that walk it themselves.
  unsigned short const* getReadPosition() const { return iv_pusReadPosition; }
  unsigned short const* getConvertedEnd() const { return iv_pusConvertedEnd; }
  void setReadPosition(unsigned short const* p) { iv_pusReadPosition = p; }
  uint32_t getConvertedLength() const { return iv_uiConvertedLength; }
  uint32_t getBufferCapacity() const { return iv_uiBufferCapacity; }
  bool isComplete() const { return iv_bComplete; }

 private:
  CosClCodePage2UnicodeConverter iv_clConverter;
  char const* iv_pcRawBegin;                // after a dropped mark
  char const* iv_pcRawEnd;
  char const* iv_pcRawCurrent;
  char* iv_pcBuffer;                        // owned (memory manager)
  uint32_t iv_uiBufferCapacity;             // bytes
  uint32_t iv_uiConvertedLength;            // code units, mark dropped
  unsigned short const* iv_pusConvertedEnd;
  unsigned short const* iv_pusReadPosition;
  bool iv_bComplete;
  uint32_t iv_uiSkippedBytes;
};

#endif  // ITL_DOCUMENT_INPUT_SCANNER_HPP
