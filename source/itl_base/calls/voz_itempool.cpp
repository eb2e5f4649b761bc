// voz_itempool.cpp -- GTRcreateItemIndexOneDoc[Ext]: the items of one
// document into the item sub-index.
//
// Numeric items are pooled as '*' keys (voz_itemkey.hpp) at positions 1, 2,
// ... in the caller's order. Character item k (1..254) with occurrence
// index j (0..1022, counted within its number in the caller's order) takes
// the positions from j x 33020 + k x 130 - 129 on: 130 positions an item
// number, 254 numbers an occurrence round, so that items never share a
// position. Its key is cut as it is into n-grams and words (voz_docpool).
// The document ends with '&' at the highest position used.
#include <algorithm>
#include <cstring>
#include <vector>

#include "build/voz_creatwrk.hpp"
#include "build/voz_docidchk.hpp"
#include "build/voz_pattpool.hpp"
#include "calls/voz_btrace.hpp"
#include "calls/voz_docpool.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_itemkey.hpp"
#include "calls/voz_reserved.hpp"
#include "postings/voz_posstore.hpp"

namespace {

// At most 1023 items of one number: occurrence indexes 0..1022.
constexpr int32_t kMaxOccurrence = 1022;
constexpr int32_t kUnitsPerItem = 130;
constexpr int32_t kRound = 33020;   // 254 x 130

struct CharItem {
    const REGISTITEM* item;
    int32_t occurrence;
};

bool fail(GTRSTATUS* st, int32_t rc, int32_t ec) {
    voz_setStatus(st, rc, ec);
    return false;
}

// Step 3: every item's record, number and type.
bool checkItems(int32_t docno, int32_t n, const REGISTITEM* items,
                std::vector<CharItem>* chars, GTRSTATUS* st) {
    for (int32_t i = 0; i < n; ++i) {
        const REGISTITEM& it = items[i];
        if (vozReservedCheck_REGISTITEM(&it, st) != 0 || voz_Failed(st))
            return false;
        if (it.item_type == 'C') {
            if (it.item_number < 1 || it.item_number > 254)
                return fail(st, 114, docno);
            if (it.char_ptr != nullptr && it.char_len > 0)
                chars->push_back({&it, 0});
        } else if (it.item_type == 'N') {
            if (it.item_number < 1) return fail(st, 114, docno);
        } else {
            return fail(st, 117, docno);
        }
    }
    return true;
}

// Step 4: stable order by number; occurrence indexes; then by occurrence.
bool orderCharItems(int32_t docno, std::vector<CharItem>* chars,
                    GTRSTATUS* st) {
    std::stable_sort(chars->begin(), chars->end(),
                     [](const CharItem& a, const CharItem& b) {
                         return a.item->item_number < b.item->item_number;
                     });
    bool repeated = false;
    for (size_t i = 1; i < chars->size(); ++i) {
        CharItem& c = (*chars)[i];
        if (c.item->item_number == (*chars)[i - 1].item->item_number) {
            c.occurrence = (*chars)[i - 1].occurrence + 1;
            repeated = true;
            if (c.occurrence > kMaxOccurrence) return fail(st, 119, docno);
        }
    }
    if (repeated) {
        std::stable_sort(chars->begin(), chars->end(),
                         [](const CharItem& a, const CharItem& b) {
                             return a.occurrence < b.occurrence;
                         });
    }
    return true;
}

bool poolNumbers(CREATWRK* cw, int32_t docno, int32_t n,
                 const REGISTITEM* items, int32_t* high, GTRSTATUS* st) {
    int32_t pos = 0;
    const int16_t width = cw->creationParm.storedUnitWidth;
    for (int32_t i = 0; i < n; ++i) {
        if (items[i].item_type != 'N') continue;
        uint8_t key[VOZ_DOUBLE_KEY_MAX];
        const int32_t len = vozNormalizeDouble(&items[i].num_value,
                                               items[i].item_number, width,
                                               key);
        if (len < 0) return fail(st, 17, 2530);
        if (VOZ_pattPool(cw, '*', key, docno, ++pos, len / width, st) != 0)
            return false;
    }
    *high = std::max(*high, pos);
    return true;
}

bool poolChars(CREATWRK* cw, int32_t docno, std::vector<CharItem>& chars,
               int32_t* high, GTRSTATUS* st) {
    const GTRCREATEPARM& parm = cw->creationParm;
    VOZ_CPINFO cp{};
    cp.code = parm.codeInfo[0];
    vozCHsetCPInfo(&cp);
    const int16_t width = vozCHlen(cp);
    VOZ_DOCSINK sink = vozDocSinkOf(cw);
    std::vector<uint8_t> key;
    for (const CharItem& c : chars) {
        const int32_t k = c.item->item_number;
        // Room for every unit of the text and the two marks, and one more
        // unit, so that an item of more than 130 units is seen as such.
        const int32_t room = (std::min<int32_t>(c.item->char_len,
                                                kUnitsPerItem) + 3) * width;
        key.assign(static_cast<size_t>(room), 0);
        int32_t keyLen = 0;
        GTRSTATUS own{};
        vozNormalizeCharItem(k, c.item->char_ptr, c.item->char_len, cp,
                             key.data(), room, &keyLen, &parm, &own);
        if (voz_Failed(&own) || keyLen / width > kUnitsPerItem)
            return fail(st, 118, docno);
        VOZ_DOCUNITS d{};
        d.cp = cp;
        d.cparm = &parm;
        d.docno = docno;
        d.startpos = c.occurrence * kRound + k * kUnitsPerItem - kUnitsPerItem;
        d.units = key.data();
        d.length = keyLen;
        d.itemValue = true;
        int32_t last = d.startpos;
        if (vozPoolDocUnits(&d, &sink, &last, st) != 0) return false;
        *high = std::max(*high, last);
    }
    return true;
}

int failRc(GTRSTATUS* st, int32_t rc, int32_t ec) {
    voz_setStatus(st, rc, ec);
    return -1;
}

}  // namespace

int vozPoolItems(VOZCREATEHANDLE* h, int32_t docno, int32_t item_num,
                 const REGISTITEM* item, const GTRONEDOCINFO* info,
                 GTRSTATUS* gsp) {
    if (info == nullptr) return failRc(gsp, 2, 2520);
    if (vozReservedCheck_GTRONEDOCINFO(info, gsp) != 0 || voz_Failed(gsp))
        return -1;
    if (docno < 0 || docno > static_cast<int32_t>(VOZ_MAX_DOCNO))
        return failRc(gsp, 30, docno);
    CREATWRK* cw = h->item;
    if (cw == nullptr || cw->creationParm.codeInfo[1] != 2)
        return failRc(gsp, 21, 2529);
    if (info->usDocType == GTR_DOCTYPE_NEW && vozCheckDocID(cw, docno, gsp)) {
        if (!voz_Failed(gsp)) {
            voz_setStatus(gsp, 153, 1822);
            gsp->detail = docno;
        }
        return -1;
    }
    VOZ_CPINFO cp{};
    cp.code = cw->creationParm.codeInfo[0];
    if (cw->creationParm.inputUnitWidth != vozCHlen(cp))
        return failRc(gsp, 17, 2530);
    if (item_num > 0 && item == nullptr) return failRc(gsp, 2, 2520);
    std::vector<CharItem> chars;
    int32_t high = 0;
    if (!checkItems(docno, item_num, item, &chars, gsp) ||
        !orderCharItems(docno, &chars, gsp) ||
        !poolNumbers(cw, docno, item_num, item, &high, gsp) ||
        !poolChars(cw, docno, chars, &high, gsp))
        return -1;
    if (vozCheckRegisteredDocID(cw, docno, gsp) != 0) {
        voz_setStatus(gsp, 153, 1824);
        gsp->detail = docno;
        return -1;
    }
    if (voz_Failed(gsp) ||
        VOZ_pattPool(cw, '&', nullptr, docno, high, 0, gsp) != 0)
        return -1;
    VOZ_saveDocPos(cw, -1, 0, 0);
    if (info->usDocType == GTR_DOCTYPE_UPDATE)
        vozRegisterUpdateDoc(cw->indexSets, static_cast<uint32_t>(docno), gsp);
    return voz_Failed(gsp) ? -1 : 0;
}

void GTRcreateItemIndexOneDocExt(void* cwp, int32_t docno, int32_t item_num,
                                 REGISTITEM* item, GTRONEDOCINFO* pVOZDocInfo,
                                 GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    const char traced =
        vozBTraceItemDoc(cwp, docno, item_num, item, pVOZDocInfo, gsp);
    if (!vozIsCreateHandle(cwp)) {
        voz_setStatus(gsp, 1, 2528);
        vozBTraceEndOf(traced, cwp, 0, gsp);
        return;
    }
    auto* h = static_cast<VOZCREATEHANDLE*>(cwp);
    if (vozPoolItems(h, docno, item_num, item, pVOZDocInfo, gsp) != 0) {
        vozCancelCreate(h);
        cwp = nullptr;
    }
    vozBTraceEndOf(traced, cwp, docno, gsp);
}

void GTRcreateItemIndexOneDoc(void* cwp, int32_t docno, int32_t item_num,
                              REGISTITEM* item, GTRSTATUS* gsp) {
    GTRONEDOCINFO info;
    memset(&info, 0, sizeof info);
    info.usDocType = GTR_DOCTYPE_NEW;
    GTRcreateItemIndexOneDocExt(cwp, docno, item_num, item, &info, gsp);
}
