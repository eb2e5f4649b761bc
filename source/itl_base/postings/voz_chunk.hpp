// voz_chunk.hpp - cursors over the encoded position stream of one B-tree
// leaf (CVozChunk) and over a stream that is being cut into leaves
// (CVozLump), with the leaf's pin points.
//
// The stream is the one encoding of voz_bufferpos.hpp.  Inside a leaf each
// document's first position is absolute (a delta from 0), and a document
// cut over two leaves starts again in the second leaf with a fresh header
// (same document id) and an absolute first position.  The first document of
// a leaf has its delta from -1.
//
// Pin-point table of a leaf (32 entries of 8 bytes, in front of the data):
//   off size  field                                   (big-endian)
//     0    4  id of the document in front of the pinned header
//     4    4  offset of the pinned header from the start of the data
// Entries at and beyond the leaf's pin count are zero.
//
// Both cursors decode in place and allocate nothing.  A stream whose
// headers or codes run past its end is reported as CVozException
// (17, 6210) or (17, 6220); nothing is repaired.
#ifndef VOZ_CHUNK_HPP
#define VOZ_CHUNK_HPP

#include <cstdint>

#include "files/voz_exception.hpp"

constexpr int VOZ_LEAF_PINPOINTS = 32;       // entries of a leaf's table
constexpr int VOZ_PINPOINT_SIZE = 8;         // bytes of one entry
constexpr int VOZ_PINTABLE_SIZE = VOZ_LEAF_PINPOINTS * VOZ_PINPOINT_SIZE;

// Result codes of the cursors.
enum : int32_t {
    VOZ_CHUNK_OK = 0,
    VOZ_CHUNK_DOC_END = 97,     // the document has no further position here
    VOZ_CHUNK_LEAF_END = 98,    // end of the leaf (or document continues)
    VOZ_LUMP_DOC_DONE = 5,      // a document was taken whole; room remains
    VOZ_LUMP_LEAF_FULL = 6,     // the leaf filled up inside a document
    VOZ_LUMP_EXHAUSTED = 7,     // no document left in the stream
    VOZ_LUMP_NEARLY_FULL = 8,   // document done; less than 80 bytes left
    VOZ_LUMP_NOTHING = 9,       // StepDoc_Limit took no document
};

// One pin point in host order.
struct PINPOINT {
    uint32_t docid;    // document in front of the pinned header
    uint32_t offset;   // offset of the pinned header from the data start
};

// In-memory image of a leaf's head from which a chunk is set up.
struct POS_BLOCK {
    uint8_t numPinpoints;      // 0 to 32
    uint32_t firstDocid;
    uint32_t lastDocid;        // all-ones when the leaf is empty
    int32_t poslen;            // bytes of encoded stream
    int32_t carriedCount;      // positions of the first doc in earlier leaves
    uint8_t* data;             // the stream; the pin table is the 256
                               // bytes in front of it
    int32_t firstPosKey;       // first-position key of the leaf
    uint8_t flg_continued;     // first doc continues from the previous leaf
    uint8_t flg_continue;      // last doc continues in the next leaf
};

// Byte-order reversal of the B-tree's 32- and 16-bit fields.
uint32_t swpint4(uint32_t v);
uint16_t swpint2(uint16_t v);

// Reads one leaf document by document and position by position.
class CVozChunk : public CVozObject {
public:
    CVozChunk();
    // As Setup, but the state stays 98.
    CVozChunk(POS_BLOCK& block, uint32_t limit, int32_t capacity);
    ~CVozChunk() override;

    // Sets the chunk over `block`; `limit` is the id of the leaf's last
    // document when it continues in the next leaf, else all-ones.
    void Setup(POS_BLOCK& block, uint32_t limit, int32_t capacity);
    // Next document: its id and position-data length.  0, or 98 at the
    // end of the leaf.
    int32_t ExtractVvg(uint32_t* docid, int32_t* length);
    // Next position >= target of the current document with its ordinal
    // (counting positions stored in earlier leaves).  0; at the document's
    // end -1 for both and 98 when it continues in the next leaf, else 97.
    int32_t ExtractPos(int32_t target, int32_t* position, int32_t* ordinal);
    // Jumps forward by pin points towards `docid`; 1 when it moved.
    int32_t SkipByPinPoint(uint32_t docid);
    int32_t getlPcount_Chunk() const { return iv_ordinal; }

    const uint8_t* iv_pinTable;   // the leaf's 256-byte pin table
    uint8_t iv_pinIndex;          // next pin point to consider
    uint8_t iv_pinCount;
    int32_t iv_dataLen;           // poslen of the leaf
    const uint8_t* iv_data;       // first byte of the stream
    const uint8_t* iv_cursor;
    uint32_t iv_curDoc;           // all-ones before the first document
    uint32_t iv_curPos;           // running sum of the position deltas
    int32_t iv_nextHeader;        // offset of the next document header
    uint8_t iv_continued;         // leaf carries a count from earlier leaves
    uint32_t iv_limit;            // last doc when it continues, else ~0
    int32_t iv_ordinal;           // positions of the current doc read
    int32_t iv_state;             // 98 after construction, 1 after Setup

private:
    uint32_t PinDoc(int i) const;
    uint32_t PinOffset(int i) const;
};

// Cuts a stream of documents into leaf-sized pieces.  The caller sets the
// room limit (the leaf's data capacity) and the pointer to its count of
// bytes already written into that leaf before stepping.
class CVozLump : public CVozObject {
public:
    // `inDocument` non-zero: the stream starts inside a document.
    CVozLump(uint8_t* stream, int32_t length, uint32_t baseDocid,
             uint8_t inDocument);
    ~CVozLump() override;

    // Number of document entries in the whole stream.
    int32_t GetNumDocs() const;
    // Writes pin points (big-endian, VOZ_PINPOINT_SIZE bytes each) into
    // `table` for every document whose zero-based index k has
    // k % every == 1, at most 32; returns their number.
    int32_t CreatePinpoint(int32_t every, uint8_t* table) const;
    // Id and length of the next document without moving (inside a
    // document: the current id and its remaining bytes); all-ones and 0
    // when the stream is exhausted.
    uint32_t CheckNextDocid(int32_t& length);
    // Takes one document, or the rest of the current one, as far as the
    // room allows: 5, 6, 7 or 8 (see the result codes).
    int32_t StepDoc();
    // Takes whole documents below `limitDocid` while they fit beside
    // `used` bytes: 5 (limit reached), 7, 8, or 9 when nothing was taken.
    // The taken bytes run from TakenBegin() (behind the first header) to
    // TakenEnd().  Throws (17, 6221) inside a document.
    int32_t StepDoc_Limit(uint32_t limitDocid, int32_t used,
                          uint32_t& lastDocid, int32_t& lastLength,
                          int32_t& count);
    // Takes the whole next document: the bytes behind its first position,
    // their length, the first and the last position.  5, or 7 when none.
    int32_t StepDoc_PullOut(uint8_t** rest, int32_t& restLength,
                            int32_t& firstPosition, int32_t& lastPosition);

    uint8_t* TakenBegin() const { return iv_resAfterFirst; }
    uint8_t* TakenEnd() const { return iv_resEnd; }

    int32_t iv_total;            // stream length
    int32_t iv_curDocOffset;     // offset of the current document's header
    int32_t iv_nextDocOffset;    // offset of the next document's header
    int32_t iv_roomLimit;        // data capacity of the leaf being filled
    int32_t* iv_written;         // caller's count of bytes in that leaf
    uint8_t* iv_start;
    uint8_t* iv_cursor;
    int32_t iv_remainingPos;     // position bytes left in current document
    int32_t iv_posCount;         // positions read in current document
    uint32_t iv_curDoc;
    int32_t iv_curPos;
    int32_t iv_remainingStream;  // bytes left in the whole stream
    int32_t iv_atDocStart;       // 1 or 0
    // Results of the last step.
    uint8_t* iv_resAfterFirst;   // behind the first position (or header)
    uint8_t* iv_resEnd;
    int32_t iv_resFirstPos;      // absolute value of the first position
    int32_t iv_resCount;         // position count after the first
    int32_t iv_resBytesAfter;    // bytes of the positions after the first

private:
    uint32_t EntryAt(int32_t off, uint32_t* delta, uint32_t* len) const;
    int32_t Room() const;
    void ReadHeader();
    uint32_t TakeCode();
};

#endif  // VOZ_CHUNK_HPP
