// cnet_wordindex.cpp -- the dictionary's word index: an engine index named
// after the dictionary in its (first) directory, holding for each live
// word one character item (item 1) with the word's display form, document
// number = word id. Built by compilation and by commit recovery, searched
// by lookups, query expansion and dumps.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrresult.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "calls/voz_wordcalls.hpp"
#include "cnet_def.hpp"
#include "cnet_regist.hpp"
#include "files/voz_records.hpp"

namespace {

void engineFailure(CNETSTATUS* st, const GTRSTATUS& gs) {
    cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                  CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode), gs.errfname1,
                  gs.errfname2);
}

}  // namespace

const char* cnetIndexDir(const CNETDIRS* dirs) {
    return dirs->first[0] == '\0' ? "/" : dirs->first;
}

bool cnetGTRunnormalizeWord(uint8_t codepage, const uint8_t* text, uint32_t len,
                            uint8_t* out, uint32_t outMax, uint32_t* outLen,
                            CNETSTATUS* st) {
    // The engine writes at most its size argument; room for one more byte
    // tells a display form that is too long from one that fits exactly.
    uint8_t buf[2 * CNET_DEF_NORM_MAX + 8];
    GTRSTATUS gs;
    std::memset(&gs, 0, sizeof gs);
    int32_t n = 0;
    GTRunnormalizeWord(codepage, text, static_cast<int32_t>(len), buf,
                       static_cast<int32_t>(sizeof buf), &n, 1, &gs);
    if (gs.retcode != 0) {
        engineFailure(st, gs);
        return false;
    }
    if (n < 0 || static_cast<uint32_t>(n) > outMax) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 801);
        return false;
    }
    std::memcpy(out, buf, static_cast<size_t>(n));
    *outLen = static_cast<uint32_t>(n);
    return true;
}

bool cnetBuildWordIndex(const CNETEXEC* opts, const char* dirspec, const char* name,
                        int set, bool commitNow, void** handle, CNETSTATUS* st) {
    *handle = nullptr;
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 810);
        return false;
    }
    bool ok = cnetSetCNETCTL(ctl, dirspec, name, set, st) && cnetOpen(ctl, "rb", st);
    CNETHEAD head;
    ok = ok && cnetReadHead(ctl, &head, st);
    GTRSTATUS gs;
    std::memset(&gs, 0, sizeof gs);
    void* h = nullptr;
    if (ok) {
        GTRHCREATEPARM hp;
        std::memset(&hp, 0, sizeof hp);
        hp.index_type = 2;
        hp.codepage = head.codepage;
        hp.index_purpose = 2;
        hp.disable = 1;
        GTRSYSPARM sys;
        std::memset(&sys, 0, sizeof sys);
        sys.poolsize = 2097152;
        sys.poolsizedelta = 1048576;
        sys.filemax = 24;
        sys.displaylog = cnetShowProgress(opts) ? 'D' : 'N';
        int32_t maxDoc = -1;
        const char* dir = cnetIndexDir(&ctl->dirs);
        GTRcreateIndexInit(&h, name, dir, dir, 'N', 'B', &hp, &sys, &maxDoc, &gs);
        if (gs.retcode != 0) {
            engineFailure(st, gs);
            h = nullptr;
            ok = false;
        }
        for (uint32_t id = static_cast<uint32_t>(maxDoc + 1); ok && id < head.wordCount; ++id) {
            CNETWORD w;
            if (!cnetReadWord(ctl, id, &w, st)) {
                ok = false;
                break;
            }
            if (w.deleted) continue;
            uint8_t display[CNET_DEF_NORM_MAX];
            uint32_t dlen = 0;
            if (!cnetGTRunnormalizeWord(head.codepage, w.text, w.textLen, display,
                                        CNET_DEF_NORM_MAX, &dlen, st)) {
                ok = false;
                break;
            }
            REGISTITEM item;
            std::memset(&item, 0, sizeof item);
            item.item_number = 1;
            item.item_type = 'C';
            item.char_ptr = display;
            item.char_len = static_cast<int16_t>(dlen);
            GTRcreateItemIndexOneDoc(h, static_cast<int32_t>(id), 1, &item, &gs);
            if (gs.retcode != 0) {
                engineFailure(st, gs);
                h = nullptr;  // a failing item call cancels and frees the update
                ok = false;
            }
            cnetProgress(opts, id + 1, head.wordCount);
        }
        if (ok) {
            GTRcreateIndexLast(h, &gs);
            if (gs.retcode != 0) {
                engineFailure(st, gs);
                ok = false;
            }
        }
        if (!ok && h != nullptr) {
            GTRSTATUS cs;
            std::memset(&cs, 0, sizeof cs);
            GTRcreateIndexTerm(h, 'C', &cs);
            h = nullptr;
        }
    }
    cnetClose(ctl, ok ? st : nullptr);
    ok = ok && !cnetFailed(st);
    cnetFreeCNETCTL(ctl);
    std::free(ctl);
    if (ok && commitNow) {
        GTRcreateIndexTerm(h, 'G', &gs);
        h = nullptr;
        if (gs.retcode != 0) {
            engineFailure(st, gs);
            return false;
        }
    } else if (!ok && h != nullptr) {
        GTRSTATUS cs;
        GTRcreateIndexTerm(h, 'C', &cs);
        h = nullptr;
    }
    *handle = h;
    return ok;
}

bool cnetWord_WordID(void** work, const CNETDIRS* dirs, const char* name,
                     uint8_t codepage, const uint8_t* display, uint32_t len,
                     uint16_t precision, uint8_t singleMask, uint8_t multiMask,
                     uint32_t** ids, uint32_t* count, CNETSTATUS* st) {
    *ids = nullptr;
    *count = 0;
    if (len == 0 || len > CNET_DEF_NORM_MAX) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 820);
        return false;
    }
    uint8_t value[CNET_DEF_NORM_MAX];
    std::memcpy(value, display, len);
    SEARCHITEM item;
    std::memset(&item, 0, sizeof item);
    item.item_number = 1;
    item.item_type = 'C';
    item.char_ptr = value;
    item.char_len = static_cast<int16_t>(len);
    item.char_mask[0] = static_cast<char>(multiMask);
    item.char_mask[1] = static_cast<char>(singleMask);
    item.char_precision = static_cast<int16_t>(precision);
    item.char_casesens = 'C';
    char order[] = "1";
    GTRSEARCH_COND cond;
    std::memset(&cond, 0, sizeof cond);
    cond.codepage = codepage;
    cond.cond_type = GTR_COND_ITEM;
    cond.item_num = 1;
    cond.item = &item;
    cond.item_order = order;
    GTRSEARCH_RES res;
    std::memset(&res, 0, sizeof res);
    res.res_type = GTR_RES_HANDLE;
    res.res_dataform = 1;
    GTRSTATUS gs;
    std::memset(&gs, 0, sizeof gs);
    GTRsearchIndex(work, name, cnetIndexDir(dirs), nullptr, cond, nullptr, nullptr,
                   nullptr, &res, &gs);
    if (gs.retcode != 0) {
        if (res.res_handle != nullptr) {
            GTRSTATUS rs;
            GTRsearchIndex_ReleaseResult(res.res_handle, &rs);
        }
        engineFailure(st, gs);
        return false;
    }
    if (res.res_handle == nullptr || res.result_occnum <= 0) return true;
    const int32_t n = res.result_occnum;
    OCC* occ = static_cast<OCC*>(std::malloc(sizeof(OCC) * static_cast<size_t>(n)));
    uint32_t* out = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * static_cast<size_t>(n)));
    bool ok = occ != nullptr && out != nullptr;
    if (!ok) cnetSetStatus(st, CNET_RC_MEMORY, 821);
    if (ok) {
        GTRsearchIndex_OpenResult(res.res_handle, nullptr, &gs);
        if (gs.retcode != 0) {
            engineFailure(st, gs);
            ok = false;
        }
    }
    int32_t got = 0;
    if (ok) {
        got = GTRsearchIndex_GetResult(res.res_handle, 0, n, occ, nullptr, nullptr, &gs);
        if (gs.retcode == VOZ_RC_END_OF_RESULT) {
            got = n;
            gs.retcode = 0;
        }
        if (gs.retcode != 0 || got < 0) {
            engineFailure(st, gs);
            ok = false;
        }
        GTRSTATUS cs;
        GTRsearchIndex_CloseResult(res.res_handle, nullptr, &cs);
    }
    GTRSTATUS rs;
    GTRsearchIndex_ReleaseResult(res.res_handle, &rs);
    if (ok) {
        if (got > n) got = n;
        // Hits in word-id order; one word is one document, counted once.
        std::sort(occ, occ + got, [](const OCC& a, const OCC& b) { return a.docno < b.docno; });
        uint32_t k = 0;
        for (int32_t i = 0; i < got; ++i) {
            if (occ[i].docno < 0) continue;
            const uint32_t id = static_cast<uint32_t>(occ[i].docno);
            if (k > 0 && out[k - 1] == id) continue;
            out[k++] = id;
        }
        *count = k;
        *ids = out;
        out = nullptr;
    }
    std::free(occ);
    std::free(out);
    return ok;
}

void cnetWord_WordID_Release(void** work) {
    if (work == nullptr || *work == nullptr) return;
    GTRSTATUS gs;
    GTRsearchIndex_Release(work, &gs);
    *work = nullptr;
}
