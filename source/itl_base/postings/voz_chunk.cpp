// voz_chunk.cpp - CVozChunk (reading one leaf) and CVozLump (cutting a
// stream into leaves).  Every header and code is checked against the bytes
// that remain before it is used.
#include "postings/voz_chunk.hpp"

#include "files/voz_bigendian.hpp"
#include "postings/voz_bufferpos.hpp"

namespace {

constexpr uint32_t kAllOnes = 0xFFFFFFFF;
// Bytes a lump keeps free in a leaf: a header and a first position that a
// continuation may still need.
constexpr int32_t kRoomReserve = 26;
constexpr int32_t kNearlyFull = 80;

[[noreturn]] void Corrupt(int32_t reason) {
    throw CVozException(VOZ_RC_INCONSISTENT, reason);
}

}  // namespace

uint32_t swpint4(uint32_t v) { return __builtin_bswap32(v); }
uint16_t swpint2(uint16_t v) { return __builtin_bswap16(v); }

CVozChunk::CVozChunk()
    : iv_pinTable(nullptr), iv_pinIndex(0), iv_pinCount(0), iv_dataLen(0),
      iv_data(nullptr), iv_cursor(nullptr), iv_curDoc(kAllOnes), iv_curPos(0),
      iv_nextHeader(0), iv_continued(0), iv_limit(kAllOnes), iv_ordinal(0),
      iv_state(98) {}

CVozChunk::CVozChunk(POS_BLOCK& block, uint32_t limit, int32_t capacity)
    : CVozChunk() {
    Setup(block, limit, capacity);
    iv_state = 98;
}

CVozChunk::~CVozChunk() = default;

void CVozChunk::Setup(POS_BLOCK& block, uint32_t limit, int32_t /*capacity*/) {
    iv_pinTable = block.data - VOZ_PINTABLE_SIZE;
    iv_pinCount = block.numPinpoints > VOZ_LEAF_PINPOINTS
                      ? VOZ_LEAF_PINPOINTS : block.numPinpoints;
    iv_dataLen = block.poslen < 0 ? 0 : block.poslen;
    iv_data = iv_cursor = block.data;
    iv_continued = block.carriedCount != 0;
    iv_ordinal = block.carriedCount;
    iv_curDoc = kAllOnes;
    iv_curPos = 0;
    iv_pinIndex = 0;
    iv_nextHeader = 0;
    iv_limit = limit;
    iv_state = 1;
}

int32_t CVozChunk::ExtractVvg(uint32_t* docid, int32_t* length) {
    if (iv_nextHeader >= iv_dataLen) return VOZ_CHUNK_LEAF_END;
    uint32_t avail = static_cast<uint32_t>(iv_dataLen - iv_nextHeader);
    uint32_t delta, len;
    uint32_t h = voz_PosHeaderDecode(iv_data + iv_nextHeader, avail, &delta,
                                     &len);
    if (h == 0) Corrupt(6210);
    if (uint64_t(h) + len > avail) Corrupt(6220);
    iv_curDoc += delta;
    *docid = iv_curDoc;
    *length = static_cast<int32_t>(len);
    iv_cursor = iv_data + iv_nextHeader + h;
    iv_nextHeader += static_cast<int32_t>(h + len);
    iv_curPos = 0;
    if (iv_continued)
        iv_continued = 0;  // the first document goes on from the carried count
    else
        iv_ordinal = 0;
    return VOZ_CHUNK_OK;
}

int32_t CVozChunk::ExtractPos(int32_t target, int32_t* position,
                              int32_t* ordinal) {
    const uint8_t* end = iv_data + iv_nextHeader;
    while (iv_cursor < end) {
        uint32_t size = voz_PosCodeSizeOf(*iv_cursor);
        if (size > static_cast<uint32_t>(end - iv_cursor)) Corrupt(6220);
        iv_curPos += voz_PosCodeDecode(iv_cursor);
        iv_cursor += size;
        iv_ordinal++;
        if (static_cast<int32_t>(iv_curPos) >= target) {
            *position = static_cast<int32_t>(iv_curPos);
            *ordinal = iv_ordinal;
            return VOZ_CHUNK_OK;
        }
    }
    *position = -1;
    *ordinal = -1;
    return iv_curDoc == iv_limit ? VOZ_CHUNK_LEAF_END : VOZ_CHUNK_DOC_END;
}

uint32_t CVozChunk::PinDoc(int i) const {
    return voz_getBE32(iv_pinTable + i * VOZ_PINPOINT_SIZE);
}

uint32_t CVozChunk::PinOffset(int i) const {
    return voz_getBE32(iv_pinTable + i * VOZ_PINPOINT_SIZE + 4);
}

int32_t CVozChunk::SkipByPinPoint(uint32_t docid) {
    if (iv_pinIndex >= iv_pinCount || docid <= PinDoc(iv_pinIndex)) return 0;
    int pin;
    do {
        pin = iv_pinIndex;
        iv_pinIndex++;
    } while (iv_pinIndex < iv_pinCount && docid > PinDoc(iv_pinIndex));
    // A pin that lies behind the reader, or outside the leaf's data, is
    // never taken: the reader only moves forward over its own bytes.
    uint32_t off = PinOffset(pin);
    if (off > static_cast<uint32_t>(iv_dataLen) ||
        static_cast<int32_t>(off) <= iv_nextHeader)
        return 0;
    iv_curDoc = PinDoc(pin);
    iv_nextHeader = static_cast<int32_t>(off);
    // The document behind a pin is never the leaf's continued first
    // document: its ordinals start again at 1.
    iv_continued = 0;
    return 1;
}

CVozLump::CVozLump(uint8_t* stream, int32_t length, uint32_t baseDocid,
                   uint8_t inDocument)
    : iv_total(length), iv_curDocOffset(0), iv_nextDocOffset(0),
      iv_roomLimit(0), iv_written(nullptr), iv_start(stream), iv_cursor(stream),
      iv_remainingPos(0), iv_posCount(0), iv_curDoc(baseDocid), iv_curPos(0),
      iv_remainingStream(length), iv_atDocStart(inDocument == 0 ? 1 : 0),
      iv_resAfterFirst(nullptr), iv_resEnd(nullptr), iv_resFirstPos(0),
      iv_resCount(0), iv_resBytesAfter(0) {}

CVozLump::~CVozLump() = default;

// Decodes the header of the entry at `off`; returns its size.  The whole
// entry must lie inside the stream: (17, 6210) / (17, 6220) otherwise.
uint32_t CVozLump::EntryAt(int32_t off, uint32_t* delta, uint32_t* len) const {
    uint32_t h = voz_PosHeaderDecode(iv_start + off,
                                     static_cast<size_t>(iv_total - off), delta,
                                     len);
    if (h == 0) Corrupt(6210);
    if (uint64_t(h) + *len > uint64_t(iv_total - off)) Corrupt(6220);
    return h;
}

int32_t CVozLump::GetNumDocs() const {
    int32_t n = 0;
    int32_t off = 0;
    while (off < iv_total) {
        uint32_t delta, len;
        off += static_cast<int32_t>(EntryAt(off, &delta, &len) + len);
        ++n;
    }
    return n;
}

int32_t CVozLump::CreatePinpoint(int32_t every, uint8_t* table) const {
    if (every < 1) every = 1;
    int32_t pins = 0, off = 0, k = 0;
    uint32_t id = kAllOnes;
    while (off < iv_total && pins < VOZ_LEAF_PINPOINTS) {
        uint32_t delta, len;
        uint32_t h = EntryAt(off, &delta, &len);
        if (k % every == 1) {
            voz_putBE32(table + pins * VOZ_PINPOINT_SIZE, id);
            voz_putBE32(table + pins * VOZ_PINPOINT_SIZE + 4,
                        static_cast<uint32_t>(off));
            ++pins;
        }
        id += delta;
        off += static_cast<int32_t>(h + len);
        ++k;
    }
    return pins;
}

uint32_t CVozLump::CheckNextDocid(int32_t& length) {
    if (!iv_atDocStart) {
        length = iv_remainingPos;
        return iv_curDoc;
    }
    if (iv_nextDocOffset >= iv_total) {
        length = 0;
        return kAllOnes;
    }
    uint32_t delta, len;
    uint32_t h = voz_PosHeaderDecode(
        iv_start + iv_nextDocOffset,
        static_cast<size_t>(iv_total - iv_nextDocOffset), &delta, &len);
    if (h == 0) Corrupt(6210);
    length = static_cast<int32_t>(len);
    return iv_curDoc + delta;
}

int32_t CVozLump::Room() const {
    return iv_roomLimit - (iv_written ? *iv_written : 0) - iv_resBytesAfter;
}

// Reads the header at the next-document offset and enters that document.
void CVozLump::ReadHeader() {
    int32_t off = iv_nextDocOffset;
    uint32_t delta, len;
    uint32_t h = voz_PosHeaderDecode(iv_start + off,
                                     static_cast<size_t>(iv_total - off),
                                     &delta, &len);
    if (h == 0 || static_cast<int32_t>(h) > iv_remainingStream) Corrupt(6210);
    iv_curDocOffset = off;
    iv_remainingPos = static_cast<int32_t>(len);
    iv_curDoc += delta;
    iv_cursor = iv_start + off + h;
    iv_remainingStream -= static_cast<int32_t>(h);
    iv_nextDocOffset = off + static_cast<int32_t>(h + len);
    iv_curPos = 0;
    iv_posCount = 0;
    iv_atDocStart = 0;
}

// Consumes one position code of the current document; returns its size.
uint32_t CVozLump::TakeCode() {
    uint32_t size = voz_PosCodeSizeOf(*iv_cursor);
    if (static_cast<int32_t>(size) > iv_remainingPos ||
        static_cast<int32_t>(size) > iv_remainingStream)
        Corrupt(6220);
    // Deltas from a damaged stream can add up past any position.
    const int64_t pos = static_cast<int64_t>(iv_curPos) + voz_PosCodeDecode(iv_cursor);
    if (pos > INT32_MAX) Corrupt(6220);
    iv_curPos = static_cast<int32_t>(pos);
    iv_posCount++;
    iv_cursor += size;
    iv_remainingPos -= static_cast<int32_t>(size);
    iv_remainingStream -= static_cast<int32_t>(size);
    return size;
}

int32_t CVozLump::StepDoc() {
    iv_resAfterFirst = iv_resEnd = nullptr;
    iv_resFirstPos = iv_resCount = iv_resBytesAfter = 0;
    if (iv_atDocStart) {
        if (iv_nextDocOffset >= iv_total) return VOZ_LUMP_EXHAUSTED;
        ReadHeader();
    }
    bool first = true;
    while (iv_remainingPos > 0) {
        if (Room() < kRoomReserve && iv_resBytesAfter > 0) {
            iv_resEnd = iv_cursor;
            return VOZ_LUMP_LEAF_FULL;
        }
        uint32_t size = TakeCode();
        if (first) {
            iv_resAfterFirst = iv_cursor;
            iv_resFirstPos = iv_curPos;
            iv_resCount = iv_posCount;
            first = false;
        } else {
            iv_resBytesAfter += static_cast<int32_t>(size);
        }
    }
    if (first) iv_resAfterFirst = iv_cursor;
    iv_atDocStart = 1;
    iv_resEnd = iv_cursor;
    return Room() < kNearlyFull ? VOZ_LUMP_NEARLY_FULL : VOZ_LUMP_DOC_DONE;
}

int32_t CVozLump::StepDoc_Limit(uint32_t limitDocid, int32_t used,
                                uint32_t& lastDocid, int32_t& lastLength,
                                int32_t& count) {
    if (!iv_atDocStart) Corrupt(6221);
    iv_resAfterFirst = iv_resEnd = iv_start + iv_nextDocOffset;
    iv_resBytesAfter = 0;
    lastDocid = kAllOnes;
    count = 0;
    int32_t taken = 0;
    int32_t result;
    while (true) {
        if (iv_nextDocOffset >= iv_total) {
            result = VOZ_LUMP_EXHAUSTED;
            break;
        }
        int32_t off = iv_nextDocOffset;
        uint32_t delta, len;
        uint32_t h = voz_PosHeaderDecode(iv_start + off,
                                         static_cast<size_t>(iv_total - off),
                                         &delta, &len);
        if (h == 0) Corrupt(6210);
        if (uint64_t(h) + len > uint64_t(iv_remainingStream)) Corrupt(6220);
        uint32_t id = iv_curDoc + delta;
        if (id >= limitDocid) {
            result = VOZ_LUMP_DOC_DONE;
            break;
        }
        int32_t entry = static_cast<int32_t>(h + len);
        if (iv_roomLimit - entry - used - taken - kRoomReserve < 0) {
            result = VOZ_LUMP_NEARLY_FULL;
            break;
        }
        if (count == 0) iv_resAfterFirst = iv_start + off + h;
        iv_curDoc = id;
        ++count;
        lastDocid = id;
        lastLength = static_cast<int32_t>(len);
        taken += entry;
        iv_remainingStream -= entry;
        iv_curDocOffset = off;
        iv_nextDocOffset = off + entry;
    }
    iv_resEnd = iv_start + iv_nextDocOffset;
    iv_cursor = iv_resEnd;
    iv_resBytesAfter = static_cast<int32_t>(iv_resEnd - iv_resAfterFirst);
    return count == 0 ? VOZ_LUMP_NOTHING : result;
}

int32_t CVozLump::StepDoc_PullOut(uint8_t** rest, int32_t& restLength,
                                  int32_t& firstPosition,
                                  int32_t& lastPosition) {
    if (iv_atDocStart) {
        if (iv_nextDocOffset >= iv_total) return VOZ_LUMP_EXHAUSTED;
        ReadHeader();
    }
    *rest = iv_cursor;
    restLength = 0;
    firstPosition = lastPosition = -1;
    bool first = true;
    while (iv_remainingPos > 0) {
        uint32_t size = TakeCode();
        if (first) {
            *rest = iv_cursor;
            firstPosition = iv_curPos;
            first = false;
        } else {
            restLength += static_cast<int32_t>(size);
        }
        lastPosition = iv_curPos;
    }
    iv_atDocStart = 1;
    iv_resEnd = iv_cursor;
    return VOZ_LUMP_DOC_DONE;
}
