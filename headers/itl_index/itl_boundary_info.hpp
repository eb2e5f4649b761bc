// itl_boundary_info.hpp: the field and segment boundaries of one document
// on their way to the engine (ItlClBoundaryInfo).
//
// While a document is indexed the text layer and the paragraph recognition
// add boundaries as byte offsets into the document's UTF-8 text; when the
// document ends, makeBoundaryInfo turns them into the engine's BOUNDARYINFO
// record: arrays in the order of addition, offsets turned into addresses
// in the text buffer, segment boundaries sorted ascending by address (the
// engine refuses a boundary before its predecessor). Fields stay in the
// order of addition (the engine pairs and orders field events itself).
//
// Memory: the lists and the arrays come from the update transaction's
// memory pool and live until the pool is emptied after the document;
// reset() forgets them without freeing anything. Every array handed to the
// engine starts on an 8-byte boundary (it holds pointers).
#ifndef ITL_BOUNDARY_INFO_HPP
#define ITL_BOUNDARY_INFO_HPP

#include <cstdint>

#include "files/voz_records_create.hpp"

class CosClMemoryPool;

// `size` bytes of `pool`, starting on an 8-byte boundary. A full pool
// raises the out-of-memory CosClException (origin `origin`, `line`).
void* itlKernelPoolAllocate(CosClMemoryPool& pool, uint32_t size,
                            char const* origin, int line);

class ItlClBoundaryInfo {
 public:
  ItlClBoundaryInfo();
  ItlClBoundaryInfo(ItlClBoundaryInfo const&) = delete;
  ItlClBoundaryInfo& operator=(ItlClBoundaryInfo const&) = delete;

  // Forgets every boundary and zeroes the engine record (pool memory is
  // released by the pool's owner).
  void reset();

  // A field `field` from byte `start` to byte `end` of the text.
  void addField(CosClMemoryPool& pool, uint16_t field, uint32_t start,
                uint32_t end);
  // A segment boundary with delimiter number `delimiter` at byte
  // `position` of the text.
  void addSegmentBoundary(CosClMemoryPool& pool, uint16_t delimiter,
                          uint32_t position);

  // Paragraph recognition over the UTF-8 `text` of `length` bytes: a
  // boundary (delimiter 1) at the second line end of every run of two or
  // more line ends, separated only by blanks or control characters, that
  // follows some text. Leading blank lines and further blank lines after a
  // boundary record nothing. A line end is '\n'; "\r\n" counts as one
  // (the '\r' is a control character).
  void addParagraphBoundaries(CosClMemoryPool& pool, uint8_t const* text,
                              uint32_t length);

  uint32_t getFieldCount() const { return iv_uiFieldCount; }
  uint32_t getSegmentCount() const { return iv_uiSegmentCount; }

  // Builds the engine record over `text` (the document's text buffer, which
  // must not move until the engine call returns); null when the document
  // has neither fields nor segment boundaries. The record belongs to this
  // object, its arrays to the pool.
  BOUNDARYINFO* makeBoundaryInfo(CosClMemoryPool& pool, uint8_t* text);

  // Sorts `count` boundary addresses ascending and moves the delimiter
  // numbers with them; the order of equal addresses is not defined. An
  // iterative quicksort (middle pivot, larger part stacked), so that no
  // input drives the stack deeper than about 2 log2(count) entries.
  static void sortSegmentBoundaryArrays(uint8_t** positions,
                                        int16_t* delimiters, int32_t count);

 private:
  struct Segment {
    Segment* next;
    uint32_t position;   // byte offset into the text
    uint16_t delimiter;  // engine delimiter number
  };
  struct Field {
    Field* next;
    uint32_t start;  // byte offsets into the text
    uint32_t end;
    uint16_t field;
  };

  BOUNDARYINFO iv_stBoundaryInfo;  // the record handed to the engine
  Segment* iv_pstSegments;         // newest first
  uint32_t iv_uiSegmentCount;
  Field* iv_pstFields;             // newest first
  uint32_t iv_uiFieldCount;
};

#endif  // ITL_BOUNDARY_INFO_HPP
