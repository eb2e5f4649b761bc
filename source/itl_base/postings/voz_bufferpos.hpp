// voz_bufferpos.hpp - the one encoding of position lists, and
// CVozBufferPos, its growable writer/reader with pin points.
//
// The position list of one key is a byte stream of document entries in
// ascending document id; each entry is a header (document-id delta D, then
// the byte length L of the position data) followed by the document's
// positions as prefix-coded deltas.  Every level of the position store (the
// sequential position file, shared slots, B-tree leaves) holds this stream
// unchanged, so its bytes are part of the index files: never change them.
//
// Header (nibble aligned; D ends in the high nibble of byte k, the length
// begins in the low nibble of the same byte k; all values big-endian):
//   D            bytes                                        k
//   0            00 00 00 00, byte 4 high nibble 0              4
//   1-15         b0 = D<<4                                      0
//   16-255       b0 = D>>4 (1-15), b1 high nibble = D&15        1
//   256-4095     b0 = 0, b1 = D>>4 (16-255), b2 hi = D&15       2
//   4096-65535   b0 = 0, b1 = D>>12 (1-15), b2 = (D>>4)&255,
//                b3 hi = D&15                                   3
//   65536-       b0 b1 = 0, b2 = D>>28, b3 = (D>>20)&255,
//                b4 = (D>>12)&255, b5 = (D>>4)&255, b6 hi = D&15 6
//   L            from byte k on                          header ends at
//   1-15         low nibble of k = L                            k
//   16-255       nibble 0, k+1 = L                              k+1
//   256-4095     nibble 0, k+1 = L>>8 (1-15), k+2 = L&255       k+2
//   4096-65535   nibble 0, k+1 = 0, k+2 = L>>8 (16-255), k+3    k+3
//   65536-2^28-1 nibble 0, k+1 = 0, k+2..k+5 = L (32-bit)       k+5
//   0            nibble 0, k+1 .. k+3 = 0                       k+3
// The first document's delta is taken from -1, so document 0 has D = 1.
//
// Position codes (delta from the previous position, the first from 0):
//   0-63                 11xxxxxx
//   64-16383             10xxxxxx + 1 byte
//   16384-0x3FFFFF       01xxxxxx + 2 bytes
//   0x400000-0x0FFFFFFF  0000xxxx + 3 bytes
//   0x10000000-          0x10     + 4 bytes (any first byte 0x10-0x3F)
//
// Pin table (head of a medium-level list): a 16-bit count n, then n
// entries of 6 bytes: the 32-bit id of the last document before the
// offset and the 16-bit offset (from the stream start) of the next header.
//
// Readers answer VOZ_POS_NO_DOC (0x7FFFFFFF) for no further document and
// VOZ_POS_NO_POS (0x40000000) for no further position.  Every failure is
// thrown as CVozException with retcode 11 (memory) or 17 (corrupt data).
#ifndef VOZ_BUFFERPOS_HPP
#define VOZ_BUFFERPOS_HPP

#include <cstddef>
#include <cstdint>

#include "files/voz_exception.hpp"

constexpr uint32_t VOZ_POS_NO_DOC = 0x7FFFFFFF;
constexpr int32_t VOZ_POS_NO_POS = 0x40000000;
// Bytes a writer reserves beyond the payload: the longest header is 12.
constexpr uint32_t VOZ_POS_HEADER_RESERVE = 14;
// Position data of one document must stay below this many bytes.
constexpr uint32_t VOZ_POS_MAX_DOC_BYTES = 1u << 28;

// Writes the header of one document entry; returns its size (1-12).
// REQUIRES: length < VOZ_POS_MAX_DOC_BYTES.
uint32_t voz_PosHeaderEncode(uint8_t* out, uint32_t delta, uint32_t length);
// Decodes a header from at most `avail` bytes; returns its size, or 0 when
// the header does not end within `avail` bytes.
uint32_t voz_PosHeaderDecode(const uint8_t* in, size_t avail,
                             uint32_t* delta, uint32_t* length);
// Size in bytes of the code of position delta `value` (1-5).
uint32_t voz_PosCodeSize(uint32_t value);
// Size of the code that begins with byte `first`.
uint32_t voz_PosCodeSizeOf(uint8_t first);
// Writes the code of `value`; returns its size.
uint32_t voz_PosCodeEncode(uint8_t* out, uint32_t value);
// Decodes the code at `in`, whose size voz_PosCodeSizeOf(in[0]) gave.
uint32_t voz_PosCodeDecode(const uint8_t* in);

class CVozBufferPos : public CVozObject {
public:
    // Allocates the 8176-byte buffer.  Failure: (11, 3301).
    CVozBufferPos();
    ~CVozBufferPos() override;
    CVozBufferPos(const CVozBufferPos&) = delete;

    // Copies the other's unread bytes (and its reading state), current
    // document id, document count and last document id; clears the
    // need-more-data flag.
    CVozBufferPos& operator=(const CVozBufferPos& other);

    // Empties the stream and resets the reading state; keeps allocations.
    void Clear();
    // Moves the unread bytes to the buffer start, makes room for n more,
    // and returns where the n new bytes are to be placed (the end pointer
    // already counts them).
    uint8_t* Request(uint32_t n);
    // Grows the capacity to at least n (by at least 4096 bytes), keeping
    // the read and end offsets.  Failure: (11, 3302).
    void Realloc(uint32_t n);

    // Appends whole document entries cut from another stream; the run's
    // first header is rewritten relative to this stream's current
    // document.  Clears the pins.
    void Append(const uint8_t* run, uint32_t length, uint32_t firstDocId,
                uint32_t lastDocId);
    // Appends bytes unchanged; clears the pins.
    void AppendRawData(const uint8_t* bytes, uint32_t length);
    // Writes one entry for docId whose positions are the concatenation of
    // that document's positions in `count` sources, each positioned at or
    // in front of its entry for docId.  `order` (may be null) is sorted by
    // the sources' first positions.  Failures: (17, 3303) sources overlap;
    // (11, 3308-3310) work arrays; (17, 3314) the merged position data
    // would reach 2^28 bytes, more than a header can describe.
    void AppendPos(CVozBufferPos** sources, uint32_t count, uint32_t docId,
                   int32_t* order);

    // Leaves the reader in front of the first document >= target and
    // returns its id; VOZ_POS_NO_DOC when the buffer holds none.
    uint32_t SkipDoc(uint32_t target);
    // Returns the first position >= target of the current document
    // (reading the next header first when no position bytes remain),
    // without consuming it; VOZ_POS_NO_POS when there is none.
    int32_t SkipPos(int32_t target);
    // As SkipPos, but consumes the position found; done = 1 when the
    // document's position data is used up.
    int32_t SkipPosNext(int32_t target, uint8_t& done);
    // Consumes the next position and returns the one after it, unconsumed.
    // Failure: (17, 3311) nothing left, (17, 3312) corrupt code.
    int32_t MoveToNextPos();

    // Sorts `order` ascending by keys[order[i]] (iterative quicksort).
    static void SortOrderPos(const int32_t* keys, int32_t* order, int32_t n,
                             GTRSTATUS* status);

    // Loads n pin points from the 6-byte entries that follow a pin table's
    // count.  Failures: (11, 3304), (11, 3307).
    void SetPinPoint(uint16_t n, const uint8_t* table);
    // Builds the pin table of the whole stream (owned by this object, valid
    // until the next call) and rewinds the reader.  Failure: (11, 3305).
    uint8_t* CreatePinPoint(uint16_t& size);
    // Null when the first entry at the read pointer is complete; otherwise
    // extends the end pointer to the end of that entry, stores the number
    // of lacking bytes in `missing` and returns where to read them in.
    uint8_t* CheckOverrun(uint32_t& missing);

    // Bytes from the read pointer to the end pointer.
    uint32_t Unread() const { return static_cast<uint32_t>(iv_end - iv_read); }
    // The stream from the buffer start to the end pointer.
    const uint8_t* Data() const { return iv_data; }
    uint32_t Used() const { return static_cast<uint32_t>(iv_end - iv_data); }

    uint8_t* iv_data;              // owned stream buffer
    uint32_t iv_capacity;          // bytes allocated
    uint8_t* iv_read;              // next unread byte
    uint8_t* iv_end;               // one past the last stream byte
    int32_t iv_curDoc;             // -1 before the first document
    uint32_t iv_docCount;          // documents in the list (owner's count)
    uint8_t iv_needMoreData;       // a reader ran off the loaded part
    uint8_t iv_delAhead;           // SkipDoc stopped at a deleted document
    uint32_t iv_lastDoc;           // last document id of the list
    uint32_t iv_curPos;            // running sum of the position deltas
    uint32_t iv_remaining;         // unread position bytes of current doc
    uint32_t iv_consumed;          // positions consumed in current doc
    uint8_t iv_morePending;        // the buffer holds only part of the list
    const uint32_t* iv_delIds;     // ascending deleted ids (not owned)
    uint32_t iv_delLeft;           // ids left at iv_delIds
    uint8_t* iv_pinTable;          // owned output of CreatePinPoint
    uint16_t iv_pinTableCap;
    uint32_t* iv_pinIds;           // pin points: last document before ...
    uint16_t* iv_pinOffsets;       // ... the header at this offset
    uint16_t iv_pinCap;
    uint16_t iv_pinCount;
    int32_t* iv_work1;             // AppendPos work arrays
    uint8_t** iv_work2;
    uint32_t* iv_work3;
    uint32_t iv_workCap;

private:
    void EnsureRoom(uint32_t more);
    bool ReadHeader();
    void EndOfData();
    uint32_t PeekCode(uint32_t& size, int32_t reason) const;
    void ConsumeCode(uint32_t value, uint32_t size);
    void GrowWork(uint32_t count);
};

#endif  // VOZ_BUFFERPOS_HPP
