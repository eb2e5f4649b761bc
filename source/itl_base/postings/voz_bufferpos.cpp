// voz_bufferpos.cpp - encoding, decoding, skipping and merging of position
// lists (CVozBufferPos).  The byte layout is documented in
// voz_bufferpos.hpp; readers never trust a header or code to stay inside
// the loaded bytes.
#include "postings/voz_bufferpos.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/voz_bigendian.hpp"

namespace {

constexpr uint32_t kInitialCapacity = 8176;
constexpr uint32_t kWorkStep = 30;
constexpr uint16_t kPinMinimum = 64;
constexpr uint32_t kPinTableMinimum = 256;

[[noreturn]] void Throw(int32_t rc, int32_t reason) {
    throw CVozException(rc, reason);
}

template <typename T>
T* Grow(T* p, size_t count, int32_t reason) {
    void* q = std::realloc(p, count * sizeof(T));
    if (q == nullptr) Throw(VOZ_RC_MEMORY, reason);
    return static_cast<T*>(q);
}

}  // namespace

// Consumes what is left of a source's current document (and nothing of the
// next one: SkipPos would read the next header when none is left).
static void RunToEnd(CVozBufferPos* s) {
    if (s->iv_remaining > 0) s->SkipPos(VOZ_POS_NO_POS);
}

uint32_t voz_PosHeaderEncode(uint8_t* out, uint32_t d, uint32_t len) {
    uint32_t k;
    if (d == 0) {
        out[0] = out[1] = out[2] = out[3] = out[4] = 0;
        k = 4;
    } else if (d < 16) {
        out[0] = static_cast<uint8_t>(d << 4);
        k = 0;
    } else if (d < 256) {
        out[0] = static_cast<uint8_t>(d >> 4);
        out[1] = static_cast<uint8_t>((d & 15) << 4);
        k = 1;
    } else if (d < 4096) {
        out[0] = 0;
        out[1] = static_cast<uint8_t>(d >> 4);
        out[2] = static_cast<uint8_t>((d & 15) << 4);
        k = 2;
    } else if (d < 65536) {
        out[0] = 0;
        out[1] = static_cast<uint8_t>(d >> 12);
        out[2] = static_cast<uint8_t>(d >> 4);
        out[3] = static_cast<uint8_t>((d & 15) << 4);
        k = 3;
    } else {
        out[0] = out[1] = 0;
        out[2] = static_cast<uint8_t>(d >> 28);
        out[3] = static_cast<uint8_t>(d >> 20);
        out[4] = static_cast<uint8_t>(d >> 12);
        out[5] = static_cast<uint8_t>(d >> 4);
        out[6] = static_cast<uint8_t>((d & 15) << 4);
        k = 6;
    }
    if (len >= 1 && len <= 15) {
        out[k] |= static_cast<uint8_t>(len);
        return k + 1;
    }
    if (len >= 16 && len <= 255) {
        out[k + 1] = static_cast<uint8_t>(len);
        return k + 2;
    }
    if (len >= 256 && len <= 4095) {
        out[k + 1] = static_cast<uint8_t>(len >> 8);
        out[k + 2] = static_cast<uint8_t>(len);
        return k + 3;
    }
    out[k + 1] = 0;
    if (len == 0) {
        out[k + 2] = out[k + 3] = 0;
        return k + 4;
    }
    if (len <= 65535) {
        out[k + 2] = static_cast<uint8_t>(len >> 8);
        out[k + 3] = static_cast<uint8_t>(len);
        return k + 4;
    }
    voz_putBE32(out + k + 2, len);
    return k + 6;
}

uint32_t voz_PosHeaderDecode(const uint8_t* in, size_t avail, uint32_t* delta,
                             uint32_t* length) {
    auto need = [avail](size_t n) { return n <= avail; };
    if (!need(1)) return 0;
    uint32_t d;
    size_t k;
    if (in[0] >= 16) {
        d = in[0] >> 4;
        k = 0;
    } else if (in[0] != 0) {
        if (!need(2)) return 0;
        d = (static_cast<uint32_t>(in[0]) << 4) | (in[1] >> 4);
        k = 1;
    } else {
        if (!need(2)) return 0;
        if (in[1] >= 16) {
            if (!need(3)) return 0;
            d = (static_cast<uint32_t>(in[1]) << 4) | (in[2] >> 4);
            k = 2;
        } else if (in[1] != 0) {
            if (!need(4)) return 0;
            d = (static_cast<uint32_t>(in[1]) << 12) |
                (static_cast<uint32_t>(in[2]) << 4) | (in[3] >> 4);
            k = 3;
        } else {
            if (!need(5)) return 0;
            if (in[2] == 0 && in[3] == 0 && in[4] < 16) {
                d = 0;
                k = 4;
            } else {
                if (!need(7)) return 0;
                d = (static_cast<uint32_t>(in[2]) << 28) |
                    (static_cast<uint32_t>(in[3]) << 20) |
                    (static_cast<uint32_t>(in[4]) << 12) |
                    (static_cast<uint32_t>(in[5]) << 4) | (in[6] >> 4);
                k = 6;
            }
        }
    }
    *delta = d;
    uint32_t nib = in[k] & 15;
    if (nib != 0) {
        *length = nib;
        return static_cast<uint32_t>(k + 1);
    }
    if (!need(k + 2)) return 0;
    uint8_t b = in[k + 1];
    if (b >= 16) {
        *length = b;
        return static_cast<uint32_t>(k + 2);
    }
    if (b != 0) {
        if (!need(k + 3)) return 0;
        *length = (static_cast<uint32_t>(b) << 8) | in[k + 2];
        return static_cast<uint32_t>(k + 3);
    }
    if (!need(k + 4)) return 0;
    if (in[k + 2] >= 16) {
        *length = (static_cast<uint32_t>(in[k + 2]) << 8) | in[k + 3];
        return static_cast<uint32_t>(k + 4);
    }
    if (in[k + 2] != 0 || in[k + 3] != 0) {
        if (!need(k + 6)) return 0;
        *length = voz_getBE32(in + k + 2);
        return static_cast<uint32_t>(k + 6);
    }
    *length = 0;
    return static_cast<uint32_t>(k + 4);
}

uint32_t voz_PosCodeSize(uint32_t v) {
    if (v < 64) return 1;
    if (v < 16384) return 2;
    if (v < 0x400000) return 3;
    if (v < 0x10000000) return 4;
    return 5;
}

uint32_t voz_PosCodeSizeOf(uint8_t first) {
    if (first >= 0xC0) return 1;
    if (first >= 0x80) return 2;
    if (first >= 0x40) return 3;
    if (first >= 0x10) return 5;
    return 4;
}

uint32_t voz_PosCodeEncode(uint8_t* out, uint32_t v) {
    switch (voz_PosCodeSize(v)) {
    case 1:
        out[0] = static_cast<uint8_t>(0xC0 | v);
        return 1;
    case 2:
        out[0] = static_cast<uint8_t>(0x80 | (v >> 8));
        out[1] = static_cast<uint8_t>(v);
        return 2;
    case 3:
        out[0] = static_cast<uint8_t>(0x40 | (v >> 16));
        out[1] = static_cast<uint8_t>(v >> 8);
        out[2] = static_cast<uint8_t>(v);
        return 3;
    case 4:
        voz_putBE32(out, v);
        return 4;
    default:
        out[0] = 0x10;
        voz_putBE32(out + 1, v);
        return 5;
    }
}

uint32_t voz_PosCodeDecode(const uint8_t* in) {
    switch (voz_PosCodeSizeOf(in[0])) {
    case 1:
        return in[0] & 0x3F;
    case 2:
        return (static_cast<uint32_t>(in[0] & 0x3F) << 8) | in[1];
    case 3:
        return (static_cast<uint32_t>(in[0] & 0x3F) << 16) |
               (static_cast<uint32_t>(in[1]) << 8) | in[2];
    case 4:
        return voz_getBE32(in) & 0x0FFFFFFF;
    default:
        return voz_getBE32(in + 1);
    }
}

CVozBufferPos::CVozBufferPos()
    : iv_data(nullptr), iv_capacity(0), iv_read(nullptr), iv_end(nullptr),
      iv_curDoc(-1), iv_docCount(0), iv_needMoreData(0), iv_delAhead(0),
      iv_lastDoc(0), iv_curPos(0), iv_remaining(0), iv_consumed(0),
      iv_morePending(0), iv_delIds(nullptr), iv_delLeft(0),
      iv_pinTable(nullptr), iv_pinTableCap(0), iv_pinIds(nullptr),
      iv_pinOffsets(nullptr), iv_pinCap(0), iv_pinCount(0),
      iv_work1(nullptr), iv_work2(nullptr), iv_work3(nullptr), iv_workCap(0) {
    iv_data = static_cast<uint8_t*>(std::malloc(kInitialCapacity));
    if (iv_data == nullptr) Throw(VOZ_RC_MEMORY, 3301);
    iv_capacity = kInitialCapacity;
    iv_read = iv_end = iv_data;
}

CVozBufferPos::~CVozBufferPos() {
    std::free(iv_data);
    std::free(iv_pinTable);
    std::free(iv_pinIds);
    std::free(iv_pinOffsets);
    std::free(iv_work1);
    std::free(iv_work2);
    std::free(iv_work3);
}

CVozBufferPos& CVozBufferPos::operator=(const CVozBufferPos& other) {
    if (this == &other) return *this;
    uint32_t n = other.Unread();
    Realloc(n);
    std::memmove(iv_data, other.iv_read, n);
    iv_read = iv_data;
    iv_end = iv_data + n;
    iv_curDoc = other.iv_curDoc;
    iv_docCount = other.iv_docCount;
    iv_lastDoc = other.iv_lastDoc;
    // The unread bytes may begin inside a document's position data: the
    // reading state travels with them so the copy decodes the same way.
    iv_curPos = other.iv_curPos;
    iv_remaining = other.iv_remaining;
    iv_consumed = other.iv_consumed;
    iv_needMoreData = 0;
    iv_pinCount = 0;
    return *this;
}

void CVozBufferPos::Clear() {
    iv_read = iv_end = iv_data;
    iv_curDoc = -1;
    iv_docCount = 0;
    iv_needMoreData = 0;
    iv_delAhead = 0;
    iv_lastDoc = 0;
    iv_curPos = iv_remaining = iv_consumed = 0;
    iv_morePending = 0;
    iv_delIds = nullptr;
    iv_delLeft = 0;
    iv_pinCount = 0;
}

void CVozBufferPos::Realloc(uint32_t n) {
    if (iv_capacity >= n) return;
    uint64_t grown = std::max<uint64_t>(uint64_t(iv_capacity) + 4096,
                                        uint64_t(n) + 1);
    if (grown > 0xFFFFFFFFu) Throw(VOZ_RC_MEMORY, 3302);
    size_t readOff = iv_read - iv_data, endOff = iv_end - iv_data;
    void* q = std::realloc(iv_data, grown);
    if (q == nullptr) Throw(VOZ_RC_MEMORY, 3302);
    iv_data = static_cast<uint8_t*>(q);
    iv_capacity = static_cast<uint32_t>(grown);
    iv_read = iv_data + readOff;
    iv_end = iv_data + endOff;
}

uint8_t* CVozBufferPos::Request(uint32_t n) {
    uint32_t kept = Unread();
    // A length read from a damaged record must not wrap the 32-bit sum and
    // hand out room that the buffer does not have.
    if (uint64_t(kept) + n > 0xFFFFFFFEu) Throw(VOZ_RC_MEMORY, 3302);
    if (iv_read != iv_data) std::memmove(iv_data, iv_read, kept);
    iv_read = iv_end = iv_data;
    Realloc(kept + n);
    iv_end = iv_data + kept + n;
    return iv_data + kept;
}

void CVozBufferPos::EnsureRoom(uint32_t more) {
    uint64_t need = uint64_t(Used()) + more;
    if (need > 0xFFFFFFFEu) Throw(VOZ_RC_MEMORY, 3302);
    Realloc(static_cast<uint32_t>(need));
}

void CVozBufferPos::Append(const uint8_t* run, uint32_t length,
                           uint32_t firstDocId, uint32_t lastDocId) {
    if (length == 0) return;
    iv_pinCount = 0;
    uint32_t delta, len;
    uint32_t h = voz_PosHeaderDecode(run, length, &delta, &len);
    if (h == 0) Throw(VOZ_RC_INCONSISTENT, 3306);
    EnsureRoom(length - h + VOZ_POS_HEADER_RESERVE);
    iv_end += voz_PosHeaderEncode(
        iv_end, firstDocId - static_cast<uint32_t>(iv_curDoc), len);
    std::memcpy(iv_end, run + h, length - h);
    iv_end += length - h;
    iv_curDoc = static_cast<int32_t>(lastDocId);
}

void CVozBufferPos::AppendRawData(const uint8_t* bytes, uint32_t length) {
    if (length == 0) return;
    iv_pinCount = 0;
    EnsureRoom(length);
    std::memcpy(iv_end, bytes, length);
    iv_end += length;
}

// Sets the need-more-data flag once the loaded bytes are used up.
void CVozBufferPos::EndOfData() {
    if (iv_read >= iv_end) iv_needMoreData = iv_morePending;
}

// Reads the header at the read pointer into the reading state.  False when
// the entry is not wholly loaded (need-more-data set) or nothing is left.
bool CVozBufferPos::ReadHeader() {
    if (iv_read >= iv_end) {
        EndOfData();
        return false;
    }
    uint32_t delta, len;
    uint32_t h = voz_PosHeaderDecode(iv_read, Unread(), &delta, &len);
    if (h == 0 || uint64_t(h) + len > Unread()) {
        iv_needMoreData = 1;
        return false;
    }
    iv_curDoc = static_cast<int32_t>(static_cast<uint32_t>(iv_curDoc) + delta);
    iv_read += h;
    iv_remaining = len;
    iv_curPos = 0;
    iv_consumed = 0;
    return true;
}

// Decodes the next position delta without consuming it.
uint32_t CVozBufferPos::PeekCode(uint32_t& size, int32_t reason) const {
    size = voz_PosCodeSizeOf(*iv_read);
    if (size > iv_remaining) Throw(VOZ_RC_INCONSISTENT, reason);
    return voz_PosCodeDecode(iv_read);
}

void CVozBufferPos::ConsumeCode(uint32_t value, uint32_t size) {
    iv_curPos += value;
    iv_read += size;
    iv_remaining -= size;
    iv_consumed++;
}

int32_t CVozBufferPos::SkipPos(int32_t target) {
    if (iv_remaining == 0 && !ReadHeader()) return VOZ_POS_NO_POS;
    while (iv_remaining > 0) {
        uint32_t size;
        uint32_t v = PeekCode(size, 3306);
        uint32_t p = iv_curPos + v;
        if (static_cast<int32_t>(p) >= target) return static_cast<int32_t>(p);
        ConsumeCode(v, size);
    }
    EndOfData();
    return VOZ_POS_NO_POS;
}

int32_t CVozBufferPos::SkipPosNext(int32_t target, uint8_t& done) {
    done = 0;
    if (iv_remaining == 0 && !ReadHeader()) {
        done = 1;
        return VOZ_POS_NO_POS;
    }
    while (iv_remaining > 0) {
        uint32_t size;
        uint32_t v = PeekCode(size, 3313);
        ConsumeCode(v, size);
        if (static_cast<int32_t>(iv_curPos) >= target) {
            if (iv_remaining == 0) {
                done = 1;
                EndOfData();
            }
            return static_cast<int32_t>(iv_curPos);
        }
    }
    done = 1;
    EndOfData();
    return VOZ_POS_NO_POS;
}

int32_t CVozBufferPos::MoveToNextPos() {
    if (iv_remaining == 0) Throw(VOZ_RC_INCONSISTENT, 3311);
    uint32_t size;
    uint32_t v = PeekCode(size, 3312);
    ConsumeCode(v, size);
    if (iv_remaining == 0) {
        EndOfData();
        return VOZ_POS_NO_POS;
    }
    v = PeekCode(size, 3312);
    return static_cast<int32_t>(iv_curPos + v);
}

uint32_t CVozBufferPos::SkipDoc(uint32_t target) {
    iv_needMoreData = 0;
    if (iv_remaining > 0) {
        iv_read += iv_remaining;
        iv_remaining = 0;
    }
    if (iv_pinCount > 0 && target != 0 && iv_delLeft == 0) {
        uint16_t i = 0;
        while (i < iv_pinCount && iv_pinIds[i] < target) ++i;
        // A pin is taken only forward, over loaded bytes: a damaged table
        // never sends the reader back over documents it has passed.
        if (i > 0 && iv_pinIds[i - 1] > static_cast<uint32_t>(iv_curDoc) &&
            iv_pinOffsets[i - 1] <= Used() &&
            iv_data + iv_pinOffsets[i - 1] >= iv_read) {
            iv_curDoc = static_cast<int32_t>(iv_pinIds[i - 1]);
            iv_read = iv_data + iv_pinOffsets[i - 1];
        }
    }
    bool passedLive = false;
    while (iv_read < iv_end) {
        uint32_t avail = Unread();
        if (iv_morePending && avail < VOZ_POS_HEADER_RESERVE) {
            iv_needMoreData = 1;
            return VOZ_POS_NO_DOC;
        }
        uint32_t delta, len, h;
        if (iv_read[0] >= 16 && (iv_read[0] & 15) != 0) {
            // One byte: a delta of 1-15 and a length of 1-15, the header of
            // most documents of a dense list.
            delta = iv_read[0] >> 4;
            len = iv_read[0] & 15u;
            h = 1;
        } else {
            uint32_t d = 0, l = 0;  // kept apart so the fast path stays in registers
            h = voz_PosHeaderDecode(iv_read, avail, &d, &l);
            delta = d;
            len = l;
        }
        if (h == 0 || uint64_t(h) + len > avail) {
            iv_needMoreData = 1;
            return VOZ_POS_NO_DOC;
        }
        uint32_t id = static_cast<uint32_t>(iv_curDoc) + delta;
        if (iv_delLeft > 0) {
            const uint32_t* hit =
                std::lower_bound(iv_delIds, iv_delIds + iv_delLeft, id);
            iv_delLeft -= static_cast<uint32_t>(hit - iv_delIds);
            iv_delIds = hit;
            if (iv_delLeft == 0 || *iv_delIds != id) {
                if (id >= target) return id;
                passedLive = true;
            } else if (passedLive) {
                iv_delAhead = 1;
                return id;
            } else if (iv_docCount > 0) {
                iv_docCount--;
            }
        } else if (id >= target) {
            return id;
        }
        iv_curDoc = static_cast<int32_t>(id);
        iv_read += h + len;
    }
    iv_needMoreData = iv_morePending;
    if (!iv_morePending) {
        iv_delIds = nullptr;
        iv_delLeft = 0;
    }
    return VOZ_POS_NO_DOC;
}

void CVozBufferPos::SortOrderPos(const int32_t* keys, int32_t* order,
                                 int32_t n, GTRSTATUS* /*status*/) {
    if (keys == nullptr || order == nullptr || n < 2) return;
    std::vector<std::pair<int32_t, int32_t>> stack;
    stack.emplace_back(0, n - 1);
    while (!stack.empty()) {
        auto [lo, hi] = stack.back();
        stack.pop_back();
        if (lo >= hi) continue;
        int32_t pivot = keys[order[lo + (hi - lo) / 2]];
        int32_t i = lo, j = hi;
        while (i <= j) {
            while (keys[order[i]] < pivot) ++i;
            while (keys[order[j]] > pivot) --j;
            if (i <= j) std::swap(order[i++], order[j--]);
        }
        // Larger part first, so the smaller one is sorted next.
        if (hi - i > j - lo) {
            stack.emplace_back(i, hi);
            stack.emplace_back(lo, j);
        } else {
            stack.emplace_back(lo, j);
            stack.emplace_back(i, hi);
        }
    }
}

void CVozBufferPos::GrowWork(uint32_t count) {
    if (iv_workCap >= count) return;
    uint32_t cap = iv_workCap;
    while (cap < count) cap += kWorkStep;
    iv_work1 = Grow(iv_work1, cap, 3308);
    iv_work2 = Grow(iv_work2, cap, 3309);
    iv_work3 = Grow(iv_work3, cap, 3310);
    iv_workCap = cap;
}

void CVozBufferPos::AppendPos(CVozBufferPos** sources, uint32_t count,
                              uint32_t docId, int32_t* order) {
    if (count == 0) return;
    GrowWork(count);
    int32_t* first = iv_work1;     // first position of each source
    uint8_t** start = iv_work2;    // where its bytes to copy begin
    uint32_t* bytes = iv_work3;    // how many bytes to copy
    std::vector<int32_t> seq(count);
    for (uint32_t i = 0; i < count; ++i) {
        seq[i] = static_cast<int32_t>(i);
        first[i] = sources[i]->SkipPos(0);
    }
    if (order != nullptr) {
        for (uint32_t i = 0; i < count; ++i) seq[i] = order[i];
        GTRSTATUS st{};
        SortOrderPos(first, seq.data(), static_cast<int32_t>(count), &st);
        if (st.retcode != 0) throw CVozException(st);
        for (uint32_t i = 0; i < count; ++i) order[i] = seq[i];
    }
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        CVozBufferPos* s = sources[seq[i]];
        start[i] = s->iv_read;
        bytes[i] = s->iv_remaining;
        total += s->iv_remaining;
    }
    if (total >= VOZ_POS_MAX_DOC_BYTES) Throw(VOZ_RC_INCONSISTENT, 3314);
    EnsureRoom(static_cast<uint32_t>(total) + VOZ_POS_HEADER_RESERVE);

    // Each further source's first delta is re-coded relative to the last
    // position of the source before it.  A source without position data
    // contributes nothing.
    std::vector<uint32_t> newFirst(count, 0);
    std::vector<uint8_t> contributes(count, 0);
    int32_t prev = -1;  // last source that contributed positions
    for (uint32_t i = 0; i < count; ++i) {
        CVozBufferPos* s = sources[seq[i]];
        if (i > 0 && s->iv_docCount > 0) s->iv_docCount--;
        if (bytes[i] == 0) continue;
        contributes[i] = 1;
        if (prev >= 0) {
            CVozBufferPos* p = sources[seq[prev]];
            RunToEnd(p);
            uint32_t last = p->iv_curPos;
            uint32_t v = static_cast<uint32_t>(first[seq[i]]);
            if (v < last) Throw(VOZ_RC_INCONSISTENT, 3303);
            newFirst[i] = v - last;
            total -= voz_PosCodeSize(v) - voz_PosCodeSize(newFirst[i]);
            s->MoveToNextPos();
            start[i] = s->iv_read;
            bytes[i] = s->iv_remaining;
        }
        prev = static_cast<int32_t>(i);
    }
    if (prev >= 0) RunToEnd(sources[seq[prev]]);

    iv_pinCount = 0;
    iv_end += voz_PosHeaderEncode(
        iv_end, docId - static_cast<uint32_t>(iv_curDoc),
        static_cast<uint32_t>(total));
    bool firstDone = false;
    for (uint32_t i = 0; i < count; ++i) {
        if (!contributes[i]) continue;
        if (firstDone) iv_end += voz_PosCodeEncode(iv_end, newFirst[i]);
        std::memcpy(iv_end, start[i], bytes[i]);
        iv_end += bytes[i];
        firstDone = true;
    }
    iv_curDoc = static_cast<int32_t>(docId);
}

void CVozBufferPos::SetPinPoint(uint16_t n, const uint8_t* table) {
    if (iv_pinIds == nullptr || iv_pinCap < n) {
        uint32_t cap = std::min<uint32_t>(iv_pinCap + 256u, iv_pinCap * 2u);
        cap = std::max<uint32_t>(cap, kPinMinimum) + n;
        cap = std::min<uint32_t>(cap, 0xFFFF);
        iv_pinIds = Grow(iv_pinIds, cap, 3304);
        iv_pinOffsets = Grow(iv_pinOffsets, cap, 3307);
        iv_pinCap = static_cast<uint16_t>(cap);
    }
    for (uint16_t i = 0; i < n; ++i) {
        iv_pinIds[i] = voz_getBE32(table + 6 * i);
        iv_pinOffsets[i] = voz_getBE16(table + 6 * i + 4);
    }
    iv_pinCount = n;
}

uint8_t* CVozBufferPos::CreatePinPoint(uint16_t& size) {
    int32_t pins = (static_cast<int32_t>(iv_docCount & 0xFFFF) - 1) / 100;
    if (pins < 0) pins = 0;
    uint32_t need = 2 + 6 * static_cast<uint32_t>(pins);
    if (iv_pinTable == nullptr || iv_pinTableCap < need) {
        uint32_t cap = std::min(need + 256, need * 2);
        cap = std::max(cap, kPinTableMinimum);
        iv_pinTable = Grow(iv_pinTable, cap, 3305);
        iv_pinTableCap = static_cast<uint16_t>(cap);
    }
    auto rewind = [this] {
        iv_read = iv_data;
        iv_curDoc = -1;
        iv_remaining = iv_curPos = iv_consumed = 0;
        iv_pinCount = 0;
    };
    rewind();
    // The table describes every entry of the stream: deleted ids pending
    // for the readers must neither stop the walk nor lower the document
    // count, and they are still pending afterwards.
    const uint32_t* delIds = iv_delIds;
    uint32_t delLeft = iv_delLeft;
    iv_delIds = nullptr;
    iv_delLeft = 0;
    uint32_t written = 0;
    uint32_t prevLast = 0;
    for (int32_t p = 0; p < pins; ++p) {
        uint32_t last;
        if (iv_read < iv_end) {
            uint32_t r = SkipDoc(p == 0 ? 0 : prevLast + 1);
            for (int calls = 1; calls < 99 && iv_read < iv_end; ++calls)
                r = SkipDoc(r + 2);
            last = SkipDoc(r + 2);
        } else {
            last = SkipDoc(prevLast + 1);
        }
        prevLast = last;
        size_t off = iv_read - iv_data;
        if (off > 0xFFFF) break;  // offsets are 16-bit: no pins past 64 KB
        voz_putBE32(iv_pinTable + 2 + 6 * written,
                    static_cast<uint32_t>(iv_curDoc));
        voz_putBE16(iv_pinTable + 2 + 6 * written + 4,
                    static_cast<uint16_t>(off));
        ++written;
    }
    voz_putBE16(iv_pinTable, static_cast<uint16_t>(written));
    size = static_cast<uint16_t>(2 + 6 * written);
    rewind();
    iv_delIds = delIds;
    iv_delLeft = delLeft;
    return iv_pinTable;
}

uint8_t* CVozBufferPos::CheckOverrun(uint32_t& missing) {
    missing = 0;
    uint32_t have = Unread();
    uint32_t delta, len;
    uint32_t h = voz_PosHeaderDecode(iv_read, have, &delta, &len);
    uint64_t full = h == 0 ? VOZ_POS_HEADER_RESERVE - 2 : uint64_t(h) + len;
    if (h != 0 && full <= have) return nullptr;
    if (full > 0xFFFFFFF0u) Throw(VOZ_RC_INCONSISTENT, 3306);
    size_t readOff = iv_read - iv_data;
    Realloc(static_cast<uint32_t>(readOff + full));
    missing = static_cast<uint32_t>(full - have);
    uint8_t* at = iv_end;
    iv_end = iv_read + full;
    return at;
}
