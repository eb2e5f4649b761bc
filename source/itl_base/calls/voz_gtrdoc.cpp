// voz_gtrdoc.cpp -- GTRcreateIndexOneDoc[Ext]: the checks of one text call
// (handle, document number, start position, boundaries and fields), the
// normalisation with the boundary pointers carried into the units, and the
// pooling (voz_docpool.hpp) into the text sub-index with its stop words.
// Every failure after the handle test cancels the whole update.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "build/voz_creatwrk.hpp"
#include "build/voz_docidchk.hpp"
#include "build/voz_pattpool.hpp"
#include "build/voz_stopword.hpp"
#include "calls/voz_btrace.hpp"
#include "calls/voz_docpool.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_normline.hpp"
#include "calls/voz_reserved.hpp"
#include "calls/voz_sortix.hpp"
#include "characters/voz_cut.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr int32_t kMaxStart = 1073741823;

// The call's boundary pointers, checked, in text order.
struct Bounds {
    std::vector<int16_t> delimNo;
    std::vector<const uint8_t*> delimSrc;
    std::vector<uint8_t*> delimOut;
    std::vector<VOZFLDEVENT> events;      // in position order
    std::vector<const uint8_t*> fieldSrc;
    std::vector<uint8_t*> fieldOut;
};

bool failed(GTRSTATUS* st, int32_t rc, int32_t ec) {
    voz_setStatus(st, rc, ec);
    return false;
}

bool checkDelimiters(const BOUNDARYINFO* b, const uint8_t* text,
                     const uint8_t* end, bool wordStarts, Bounds* out,
                     GTRSTATUS* st) {
    const uint8_t* prev = text;
    for (int32_t i = 0; i < b->delimiter_num; ++i) {
        const uint8_t* at = b->boundary_ptr[i];
        const int16_t no = b->delimiter_NO[i];
        if (at < text || at > end) return failed(st, 2, 2525);
        if (at < prev) return failed(st, 109, 2526);
        if (!((no >= 1 && no <= 32) || (no == 39 && wordStarts)))
            return failed(st, 24, 2527);
        prev = at;
        out->delimNo.push_back(no);
        out->delimSrc.push_back(at);
    }
    out->delimOut.assign(out->delimSrc.size(), nullptr);
    return true;
}

// Field events: each start and end, paired, in position order.
bool checkFields(const BOUNDARYINFO* b, const uint8_t* text,
                 const uint8_t* end, int32_t docno, Bounds* out,
                 GTRSTATUS* st) {
    std::vector<VOZFLDEVENT>& ev = out->events;
    bool ordered = true;
    const uint8_t* prevEnd = text;
    for (int32_t i = 0; i < b->fld_boundary_num; ++i) {
        const FLDBOUNDARYINFO& f = b->fld_boundary[i];
        if (f.fld_start_ptr < text || f.fld_end_ptr > end ||
            f.fld_start_ptr > f.fld_end_ptr || f.fld_number == 0)
            return failed(st, 120, docno);
        const bool empty = f.fld_start_ptr == f.fld_end_ptr;
        ev.push_back({f.fld_number, uint8_t(empty ? 2 : 0), f.fld_start_ptr});
        ev.push_back({f.fld_number, uint8_t(empty ? 1 : 3), f.fld_end_ptr});
        if (f.fld_start_ptr < prevEnd) ordered = false;
        prevEnd = f.fld_end_ptr;
    }
    const int32_t n = static_cast<int32_t>(ev.size());
    if (!ordered) {
        std::vector<int32_t> ix(n);
        for (int32_t i = 0; i < n; ++i) ix[i] = i;
        vozSortFieldInfoIX(ev.data(), ix.data(), n);
        for (int32_t i = 0; i + 1 < n; i += 2) {
            const VOZFLDEVENT& a = ev[ix[i]];
            const VOZFLDEVENT& z = ev[ix[i + 1]];
            const bool pair = a.fld_number == z.fld_number &&
                              ((a.kind == 0 && z.kind == 3) ||
                               (a.kind == 2 && z.kind == 1) ||
                               (a.kind == 1 && z.kind == 2));
            if (!pair) return failed(st, 120, docno);
        }
        std::vector<uint32_t> keys(n);
        for (int32_t i = 0; i < n; ++i)
            keys[i] = static_cast<uint32_t>(ev[i].position - text);
        for (int32_t i = 0; i < n; ++i) ix[i] = i;
        vozSortDocIX(keys.data(), ix.data(), n);
        std::vector<VOZFLDEVENT> sorted(n);
        for (int32_t i = 0; i < n; ++i) sorted[i] = ev[ix[i]];
        ev.swap(sorted);
    }
    for (const VOZFLDEVENT& e : ev) out->fieldSrc.push_back(e.position);
    out->fieldOut.assign(out->fieldSrc.size(), nullptr);
    return true;
}

bool checkBounds(const BOUNDARYINFO* b, uint8_t code, const uint8_t* text,
                 int32_t length, int32_t docno, Bounds* out, GTRSTATUS* st) {
    if (b == nullptr) return true;
    if (b->word_boundary > 1 ||
        (b->word_boundary == 1 && !vozCHwordBoundaryEnable(code)))
        return failed(st, 2, 2524);
    const uint8_t* end = text + length;
    if (b->delimiter_num > 0 &&
        (b->delimiter_NO == nullptr || b->boundary_ptr == nullptr))
        return failed(st, 2, 2525);
    if (b->fld_boundary_num > 0 && b->fld_boundary == nullptr)
        return failed(st, 120, docno);
    return checkDelimiters(b, text, end, b->word_boundary == 1, out, st) &&
           checkFields(b, text, end, docno, out, st);
}

// Steps 4 and 6: the document number against the index and this update,
// the start position, and the close of the previous document.
bool startDocument(CREATWRK* cw, int32_t docno, uint16_t type,
                   int32_t startpos, int32_t* count, GTRSTATUS* st) {
    if (type == GTR_DOCTYPE_NEW && vozCheckDocID(cw, docno, st) != 0) {
        if (!voz_Failed(st)) {
            voz_setStatus(st, 153, 1821);
            st->detail = docno;
        }
        return false;
    }
    int32_t lastDoc = -1, lastPos = 0;
    VOZ_restoreDocPos(cw, &lastDoc, &lastPos, count);
    if (startpos < 0 || startpos >= kMaxStart) return failed(st, 34, 2522);
    if (lastDoc >= 0 && lastDoc == docno) {
        if (startpos < lastPos) return failed(st, 34, 2522);
        return true;
    }
    if (lastDoc >= 0 &&
        VOZ_pattPool(cw, '&', nullptr, lastDoc, *count, 0, st) != 0)
        return false;
    VOZ_saveDocPos(cw, -1, 0, 0);
    *count = 0;
    if (vozCheckRegisteredDocID(cw, docno, st) != 0) {
        voz_setStatus(st, 153, 1823);
        st->detail = docno;
        return false;
    }
    return !voz_Failed(st);
}

void foldWord(uint8_t* word, int16_t length, int16_t width) {
    vozCHcaseInsensAlpha(word, length, width);
}

int32_t stopWordOf(void* ctx, const uint8_t* units, int32_t lengthUnits,
                   bool folded, GTRSTATUS* st) {
    const int r = vozCheckStopWord(static_cast<CREATWRK*>(ctx), 0, units,
                                   static_cast<uint32_t>(lengthUnits),
                                   folded ? nullptr : foldWord, st);
    return r == 0 ? -1 : r;
}

// Steps 9-13 over the checked call.
bool poolText(CREATWRK* cw, const uint8_t* docmp, int32_t length,
              int32_t docno, int32_t* startpos, int32_t count, Bounds* b,
              const BOUNDARYINFO* beip, GTRSTATUS* st) {
    const GTRCREATEPARM& parm = cw->creationParm;
    VOZ_CPINFO cp{};
    cp.code = parm.codeInfo[0];
    vozCHsetCPInfo(&cp);
    PTRDOCNORM map{};
    map.list[0] = {static_cast<int32_t>(b->delimSrc.size()),
                   b->delimSrc.data(), b->delimOut.data(), 0};
    map.list[1] = {static_cast<int32_t>(b->fieldSrc.size()),
                   b->fieldSrc.data(), b->fieldOut.data(), 0};
    uint8_t* units = nullptr;
    int32_t unitLen = 0;
    vozNormalizeDoc(docmp, length, cp, VOZ_NORM_TEXT, &units, &unitLen, &map,
                    &parm, st);
    std::vector<VOZ_DOCFIELD> fields;
    for (size_t i = 0; i < b->events.size(); ++i)
        fields.push_back({b->events[i].fld_number, b->fieldOut[i]});
    VOZ_DOCUNITS d{};
    d.cp = cp;
    d.cparm = &parm;
    d.docno = docno;
    d.startpos = *startpos;
    d.units = units;
    d.length = unitLen;
    d.delimCount = static_cast<int32_t>(b->delimNo.size());
    d.delimNo = b->delimNo.data();
    d.delimAt = b->delimOut.data();
    d.callerWordStarts = beip != nullptr && beip->word_boundary == 1;
    d.fieldCount = static_cast<int32_t>(fields.size());
    d.fields = fields.data();
    VOZ_DOCSINK sink = vozDocSinkOf(cw);
    if (cw->stopClassCount > 0) sink.stopWord = stopWordOf;
    int32_t last = *startpos;
    const bool ok = !voz_Failed(st) && units != nullptr &&
                    vozPoolDocUnits(&d, &sink, &last, st) == 0;
    free(units);
    if (!ok) {
        if (!voz_Failed(st)) voz_setStatus(st, 11, 2523);
        return false;
    }
    VOZ_saveDocPos(cw, docno, last, count + (last - *startpos));
    *startpos = last;
    return true;
}

// Steps 1-13 after the trace; false with the status set on failure.
// Whether UTF-8 text of `length` bytes ends inside a character: its last
// lead byte announces more bytes than follow it.
bool endsInsideUtf8Char(const uint8_t* text, int32_t length) {
    int32_t i = length - 1;
    int32_t trail = 0;
    while (i >= 0 && trail < 4 && (text[i] & 0xC0) == 0x80) --i, ++trail;
    if (i < 0 || trail >= 4) return false;
    const uint8_t lead = text[i];
    int32_t need = 0;
    if ((lead & 0xE0) == 0xC0) need = 1;
    else if ((lead & 0xF0) == 0xE0) need = 2;
    else if ((lead & 0xF8) == 0xF0) need = 3;
    return trail < need;
}

bool oneDoc(VOZCREATEHANDLE* h, const uint8_t* docmp, int32_t length,
            int32_t docno, int32_t* startpos, const BOUNDARYINFO* beip,
            const GTRONEDOCINFO* info, GTRSTATUS* gsp) {
    if (info == nullptr) return failed(gsp, 2, 2520);
    if (vozReservedCheck_GTRONEDOCINFO(info, gsp) != 0 || voz_Failed(gsp))
        return false;
    if (docno < 0 || docno > static_cast<int32_t>(VOZ_MAX_DOCNO))
        return failed(gsp, 30, docno);
    CREATWRK* cw = h->text;
    if (cw == nullptr || cw->creationParm.codeInfo[1] != 1)
        return failed(gsp, 21, 2521);
    if (startpos == nullptr || length < 0 || (docmp == nullptr && length > 0))
        return failed(gsp, 2, 2520);
    // Each call is cut into words on its own: a piece that ends inside a
    // character would lose that character's word without a word of
    // warning, so it is refused.
    if (vozCPisUTF8(cw->creationParm.codeInfo[0]) && length > 0 &&
        endsInsideUtf8Char(docmp, length))
        return failed(gsp, VOZ_RC_CHARNORM, VOZ_EC_DOC_SPLIT_CHAR);
    int32_t count = 0;
    if (!startDocument(cw, docno, info->usDocType, *startpos, &count, gsp))
        return false;
    Bounds b;
    if (!checkBounds(beip, cw->creationParm.codeInfo[0], docmp, length, docno,
                     &b, gsp))
        return false;
    if (!poolText(cw, docmp, length, docno, startpos, count, &b, beip, gsp))
        return false;
    if (info->usDocType == GTR_DOCTYPE_UPDATE)
        vozRegisterUpdateDoc(cw->indexSets, static_cast<uint32_t>(docno), gsp);
    return !voz_Failed(gsp);
}

}  // namespace

void GTRcreateIndexOneDocExt(void* cwp, const uint8_t* docmp, int32_t length,
                             int32_t docno, int32_t* startpos,
                             BOUNDARYINFO* beip, GTRONEDOCINFO* pVOZDocInfo,
                             GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    const char traced = vozBTraceOneDoc(cwp, docno, docmp, length, startpos,
                                        beip, pVOZDocInfo, gsp);
    const bool reservedOk =
        vozReservedCheck_BOUNDARYINFO(beip, gsp) == 0 && !voz_Failed(gsp);
    if (!vozIsCreateHandle(cwp)) {
        if (reservedOk) voz_setStatus(gsp, 1, 2519);
        vozBTraceEndOf(traced, cwp, 0, gsp);
        return;
    }
    auto* h = static_cast<VOZCREATEHANDLE*>(cwp);
    if (!reservedOk || !oneDoc(h, docmp, length, docno, startpos, beip,
                               pVOZDocInfo, gsp)) {
        vozCancelCreate(h);
        vozBTraceEndOf(traced, nullptr, 0, gsp);
        return;
    }
    vozBTraceEndOf(traced, cwp, *startpos, gsp);
}

void GTRcreateIndexOneDoc(void* cwp, const uint8_t* docmp, int32_t length,
                          int32_t docno, int32_t* startpos, BOUNDARYINFO* beip,
                          GTRSTATUS* gsp) {
    GTRONEDOCINFO info;
    memset(&info, 0, sizeof info);
    info.usDocType = GTR_DOCTYPE_NEW;
    GTRcreateIndexOneDocExt(cwp, docmp, length, docno, startpos, beip, &info,
                            gsp);
}
