// voz_gtriter.cpp -- GTRgetKeyInfo, the key and position iterator calls,
// GTRinit and its siblings (voz_gtriter.hpp).
//
// The calls open the index through the search (VOZ_SearchOpen_) and hand
// the handle to the builder's iterators; whatever path a call takes, a
// handle it opened is either owned by an iterator it returns or closed and
// released before it returns. This file also defines the seam through
// which the builder's iterators see the file sets of a search handle
// (vozSearchHandleSets, declared in build/voz_keyiter.hpp).
#include "calls/voz_gtriter.hpp"

#include <cstring>
#include <memory>
#include <vector>

#include "build/voz_keyiter.hpp"
#include "build/voz_positer.hpp"
#include "calls/voz_normline.hpp"
#include "calls/voz_reserved.hpp"
#include "calls/voz_trace.hpp"
#include "characters/voz_cut.hpp"
#include "files/voz_names.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr size_t kNameMax = 2047;
constexpr int32_t kLowestRecord = VOZ_KEYITER_FIRST;
constexpr int32_t kHighestDoc = 2147483646;
constexpr int32_t kNoDoc = 2147483647;
constexpr int32_t kCodeMismatch = 108;

#define VOZ_ITER_STR2(x) #x
#define VOZ_ITER_STR(x) VOZ_ITER_STR2(x)
#define VOZ_ITER_HERE __FILE__ ":" VOZ_ITER_STR(__LINE__)

bool nameOk(const char* name) {
    size_t len = strnlen(name, kNameMax + 1);
    return len >= 1 && len <= kNameMax;
}

// Closes and releases `h`; their failures are reported only when nothing
// failed before.
void closeIndex(VOZSEARCH** h, GTRSTATUS* gsp) {
    if (*h == nullptr) return;
    GTRSTATUS closed{};
    GTRSTATUS released{};
    VOZ_SearchClose_(*h, &closed, 0);
    VOZ_SearchRelease(h, &released);
    if (voz_Failed(gsp)) return;
    if (voz_Failed(&closed))
        *gsp = closed;
    else if (voz_Failed(&released))
        *gsp = released;
}

// Opens sub-index `subIndex` (2 item, else text) of the index; the text
// sub-index's or item sub-index's creation parameters go to *parm.
VOZSEARCH* openSubIndex(const char* name, const char* dir, int32_t subIndex,
                        GTRCREATEPARM* parm, GTRSTATUS* gsp) {
    VOZSEARCH* h = nullptr;
    GTRCREATEPARM other{};
    if (subIndex == VOZ_KEYITER_ITEM)
        VOZ_SearchOpen_(&h, name, dir, nullptr, "MRNS", nullptr, "Item",
                        nullptr, &other, parm, VOZ_HALF_ITEM, gsp, 0);
    else
        VOZ_SearchOpen_(&h, name, dir, "KPLQ", nullptr, "Full", nullptr,
                        nullptr, parm, &other, VOZ_HALF_TEXT, gsp, 0);
    return h;
}

// Sets retcode 0 for a forwarding call; a null pointer fails with 2/ec.
bool forwardOk(const void* p, GTRSTATUS* gsp, int32_t ec) {
    if (gsp == nullptr) return p != nullptr;
    gsp->retcode = 0;
    if (p != nullptr) return true;
    gsp->retcode = VOZ_RC_PARAMETER;
    gsp->errcode = ec;
    return false;
}

void clearOnly(const char* call, GTRSTATUS* gsp, const char* origin) {
    vozTraceCallStart(call, origin);
    vozTraceArg("gsp", &gsp, sizeof gsp, origin);
    voz_ClearStatus(gsp);
    vozTraceCallEnd(call, gsp, origin);
}

}  // namespace

void vozSearchHandleSets(VOZSEARCH* handle, int32_t subIndex,
                         IDXINFO* sets[4]) {
    for (int i = 0; i < 4; ++i) sets[i] = nullptr;
    if (handle == nullptr) return;
    bool item = subIndex == VOZ_KEYITER_ITEM;
    uint8_t bit = item ? VOZ_OPEN_SECOND : VOZ_OPEN_FIRST;
    if ((handle->openState & bit) == 0) return;
    VOZSEARCHHALF* half = item ? &handle->second : &handle->first;
    for (int k = 0; k < 2; ++k) {
        if (half->set0[k].fctl.keyFile != nullptr) sets[k] = &half->set0[k];
        if (half->set1[k].fctl.keyFile != nullptr)
            sets[2 + k] = &half->set1[k];
    }
}

void GTRgetKeyInfo(const char* idxname, const char* idxdir, GTRKEYINFO* kinfp,
                   int32_t* number_of_documents, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    if (idxname == nullptr || idxdir == nullptr || kinfp == nullptr ||
        kinfp->pszWord == nullptr || number_of_documents == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2689);
        return;
    }
    if (vozReservedCheck_GTRKEYINFO(kinfp, gsp) != 0) return;
    if (!nameOk(idxname)) {
        voz_setStatus(gsp, 29, 2690);
        return;
    }
    GTRCREATEPARM parm{};
    VOZSEARCH* h = openSubIndex(idxname, idxdir, 1, &parm, gsp);
    if (!voz_Failed(gsp) && parm.codeInfo[0] != kinfp->ucCodepage)
        voz_setStatus(gsp, kCodeMismatch, 2691);
    if (!voz_Failed(gsp)) {
        const uint8_t code = parm.codeInfo[0];
        VOZ_CPINFO cp{};
        cp.callerCodePage = code;
        cp.code = code;
        const int16_t width = vozCHlen(cp);
        const auto* word = reinterpret_cast<const uint8_t*>(kinfp->pszWord);
        const int32_t length = static_cast<int32_t>(strlen(kinfp->pszWord));
        std::vector<uint8_t> units(static_cast<size_t>(length) * width + 1);
        int32_t n = 0;
        vozNormalizeWord(code, word, length, units.data(),
                         static_cast<int32_t>(units.size()), &n,
                         parm.codeInfo[1], &parm, gsp);
        if (!voz_Failed(gsp)) {
            VOZ_CUT_FN cut = Func_CutIntoPart[parm.codeInfo[3] == 1 ? 1 : 0];
            kinfp->lNumKeyRec = VOZ_getKeyBasicInfo(
                &h, units.data(), n, cut, width, number_of_documents, gsp);
        }
    }
    closeIndex(&h, gsp);
}

void GTRkeyIteratorInitEx(const char* idxname, const char* idxdir,
                          int32_t subIndex, KEYITERATOR** it,
                          KEYITERATOR** second, int32_t lower, int32_t upper,
                          GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    if (idxname == nullptr || idxdir == nullptr || it == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2699);
        return;
    }
    *it = nullptr;
    if (second != nullptr) *second = nullptr;
    if (!nameOk(idxname)) {
        voz_setStatus(gsp, 29, 2700);
        return;
    }
    if (lower < kLowestRecord || lower > upper) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2701);
        return;
    }
    GTRCREATEPARM parm{};
    VOZSEARCH* h = openSubIndex(idxname, idxdir, subIndex, &parm, gsp);
    if (!voz_Failed(gsp)) {
        VOZ_InitKeyIterator(it, second, h, parm, subIndex, lower, upper);
        IDXINFO* sets[4] = {};
        vozSearchHandleSets(h, subIndex, sets);
        bool missing = *it == nullptr ||
                       (second != nullptr && sets[1] != nullptr &&
                        *second == nullptr);
        if (!missing) return;  // the iterators own the handle now
        voz_setStatus(gsp, VOZ_RC_MEMORY, 2713);
        VOZSEARCH* back = nullptr;
        VOZ_TermKeyIterator(*it, &back);
        if (second != nullptr) VOZ_TermKeyIterator(*second, &back);
        *it = nullptr;
        if (second != nullptr) *second = nullptr;
    }
    closeIndex(&h, gsp);
}

void GTRkeyIteratorInit(const char* idxname, const char* idxdir,
                        int32_t subIndex, KEYITERATOR** it, GTRSTATUS* gsp) {
    GTRkeyIteratorInitEx(idxname, idxdir, subIndex, it, nullptr, 0, kNoDoc,
                         gsp);
}

void GTRkeyIteratorTerm(KEYITERATOR* it, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    if (it == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2692);
        return;
    }
    VOZSEARCH* h = nullptr;
    VOZ_TermKeyIterator(it, &h);
    closeIndex(&h, gsp);
}

bool GTRkeyIterator_HasMoreKeys(KEYITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2693) && VOZ_HasMoreKeys(it);
}

int32_t GTRkeyIterator_GetNextKey(KEYITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2694) ? VOZ_GetNextKey(it, gsp) : 0;
}

int32_t GTRkeyIterator_SearchKeyString(KEYITERATOR* it, const char* string,
                                       int32_t length, GTRSTATUS* gsp) {
    if (!forwardOk(it, gsp, 2695) || !forwardOk(string, gsp, 2695)) return 0;
    return VOZ_SearchKeyString(it, reinterpret_cast<const uint8_t*>(string),
                               length, gsp);
}

void GTRkeyIterator_GetKeyString(KEYITERATOR* it, uint8_t* buffer,
                                 int32_t size, int32_t* length,
                                 GTRSTATUS* gsp) {
    if (!forwardOk(it, gsp, 2696) || !forwardOk(buffer, gsp, 2696) ||
        !forwardOk(length, gsp, 2696))
        return;
    VOZ_GetKeyString(it, buffer, size, length, gsp);
}

int32_t GTRkeyIterator_GetDocumentCount(KEYITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2697) ? VOZ_GetDocumentCount(it) : 0;
}

int32_t GTRkeyIterator_GetHitCount(KEYITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2698) ? VOZ_GetHitCount(it, gsp) : 0;
}

int8_t GTRkeyIterator_GetKeyType(KEYITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2702) ? VOZ_GetKeyType(it) : 0;
}

int32_t GTRkeyIterator_GetDocumentCountEx(KEYITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2703) ? VOZ_GetDocumentCountEx(it, gsp) : 0;
}

void GTRkeyIterator_GetItemString(KEYITERATOR* it, uint8_t* buffer,
                                  int32_t size, int32_t* length,
                                  GTRSTATUS* gsp) {
    if (!forwardOk(it, gsp, 2704) || !forwardOk(buffer, gsp, 2704) ||
        !forwardOk(length, gsp, 2704))
        return;
    // The pattern may be longer than the caller's buffer: copy what fits.
    std::unique_ptr<uint8_t[]> raw(new uint8_t[VOZ_KEY_HEAD_BYTES +
                                               VOZ_KEY_CONT_BYTES *
                                                   (VOZ_KEYITER_RECORDS - 1)]);
    int32_t len = 0;
    VOZ_GetRawPattern(it, raw.get(), &len);
    if (len > size) len = size > 0 ? size : 0;
    memcpy(buffer, raw.get(), static_cast<size_t>(len));
    *length = len;
}

void GTRkeyIterator_GetItem(KEYITERATOR* it, char* kind, int16_t* itemNo,
                            uint8_t* buffer, int32_t size, int32_t* length,
                            double* value, GTRSTATUS* gsp) {
    const void* needed[] = {it, kind, itemNo, buffer, length, value};
    for (const void* p : needed)
        if (!forwardOk(p, gsp, 2705)) return;
    VOZ_GetItem(it, kind, itemNo, buffer, size, length, value, gsp);
}

void GTRposIteratorInitEx(POSITERATOR** it, KEYITERATOR* keyIter,
                          int32_t lowest, int32_t highest, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    if (it == nullptr || keyIter == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2711);
        return;
    }
    if (lowest > highest || highest >= kNoDoc) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2712);
        return;
    }
    VOZ_InitPosIterator(it, keyIter, lowest, highest, gsp);
}

void GTRposIteratorInit(POSITERATOR** it, KEYITERATOR* keyIter,
                        GTRSTATUS* gsp) {
    if (it != nullptr) *it = nullptr;
    GTRposIteratorInitEx(it, keyIter, 0, kHighestDoc, gsp);
}

void GTRposIteratorTerm(POSITERATOR* it, GTRSTATUS* gsp) {
    if (forwardOk(it, gsp, 2706)) VOZ_TermPosIterator(it, gsp);
}

bool GTRposIterator_HasMorePoss(POSITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2707) && VOZ_HasMorePoss(it, gsp);
}

void GTRposIterator_GetNextPos(POSITERATOR* it, GTRSTATUS* gsp) {
    if (forwardOk(it, gsp, 2708)) VOZ_GetNextPos(it, gsp);
}

int32_t GTRposIterator_GetDocumentNumber(POSITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2709) ? VOZ_GetDocumentNumber(it) : 0;
}

int32_t GTRposIterator_GetDocumentPosition(POSITERATOR* it, GTRSTATUS* gsp) {
    return forwardOk(it, gsp, 2710) ? VOZ_GetDocumentPosition(it) : 0;
}

void GTRinit(GTRSTATUS* gsp) { clearOnly("GTRinit", gsp, VOZ_ITER_HERE); }
void GTRterm(GTRSTATUS* gsp) { clearOnly("GTRterm", gsp, VOZ_ITER_HERE); }
void GTRinitThread(GTRSTATUS* gsp) {
    clearOnly("GTRinitThread", gsp, VOZ_ITER_HERE);
}
void GTRtermThread(GTRSTATUS* gsp) {
    clearOnly("GTRtermThread", gsp, VOZ_ITER_HERE);
}
