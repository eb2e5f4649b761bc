// cnet_refer.cpp -- vozCNETrefer: the related terms of a base term by a
// breadth-first walk of the relations (cnetExpand), or the top terms of a
// dictionary without a base term (cnetRootRefer); the request's relation
// selection (cnetRelConvert); and the dictionary information call.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "calls/voz_wordcalls.hpp"
#include "cnet_def.hpp"
#include "cnet_refer.hpp"
#include "cnet_regist.hpp"
#include "files/voz_status.hpp"

namespace {

bool allZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

// The result kind and user number of a relation code (0 for codes that
// are no relation).
void relKind(CNETREL r, uint32_t* kind, uint32_t* number) {
    *kind = 0;
    *number = 0;
    if (r.id >= 128) {
        *number = static_cast<uint32_t>(r.id) - 127;
        if (r.category == 3) *kind = CNET_KIND_USER_ASSOC;
        else if (r.category == 1) *kind = CNET_KIND_USER_HIGHER;
        else if (r.category == 2) *kind = CNET_KIND_USER_LOWER;
        if (*kind == 0) *number = 0;
        return;
    }
    if (r.category == 3 && r.id == 1) *kind = CNET_KIND_SYNONYM;
    else if (r.category == 3 && r.id == 2) *kind = CNET_KIND_RELATED;
    else if (r.category == 1 && r.id == 1) *kind = CNET_KIND_HIGHER;
    else if (r.category == 2 && r.id == 1) *kind = CNET_KIND_LOWER;
}

// The word's display form into a result record.
bool fillRecord(CNETCTL* ctl, const CNETWORD& w, CNETRESULT* rec, CNETSTATUS* st) {
    std::memset(rec, 0, sizeof *rec);
    uint32_t len = 0;
    if (!cnetGTRunnormalizeWord(ctl->head.codepage, w.text, w.textLen, rec->term,
                                sizeof rec->term, &len, st))
        return false;
    rec->length = static_cast<uint16_t>(len);
    return true;
}

// A damaged head may not size the walk's tables: the word count must fit
// in the word slot file.
bool checkWordCount(CNETCTL* ctl, CNETSTATUS* st) {
    const uint64_t size = ctl->f[CNET_WORD_SLOTS].size;
    if (size < CNET_HEAD_SIZE ||
        uint64_t{ctl->head.wordCount} > (size - CNET_HEAD_SIZE) / CNET_SLOT_SIZE) {
        cnetSetStatus(st, CNET_RC_INTEGRITY, 600, ctl->f[CNET_WORD_SLOTS].name);
        return false;
    }
    return true;
}

struct QEntry {
    uint32_t word;
    int64_t from;       // word it came from, -1 none
    CNETREL rel;
    uint32_t depth;
    uint8_t strength;
    int64_t parent;     // result record, -1 none
};

}  // namespace

bool cnetRelConvert(const CNETPATH* path, CNETRELSEL* sel, CNETSTATUS* st) {
    std::memset(sel, 0, sizeof *sel);
    auto set = [sel](uint8_t category, uint32_t id) {
        int which = category == 3 ? 0 : category == 1 ? 1 : 2;
        sel->bits[which][(id - 1) / 8] |= static_cast<uint8_t>(0x80u >> ((id - 1) % 8));
    };
    if (path->types & CNET_TYPE_SYNONYM) set(3, 1);
    if (path->types & CNET_TYPE_RELATED) set(3, 2);
    if (path->types & CNET_TYPE_HIGHER) set(1, 1);
    if (path->types & CNET_TYPE_LOWER) set(2, 1);
    const uint8_t kindBits[3] = {0x40, 0x20, 0x10};
    const uint8_t kindCats[3] = {3, 1, 2};
    for (int k = 0; k < 3; ++k)
        if (path->userKinds & kindBits[k])
            for (uint32_t id = 128; id <= 255; ++id) set(kindCats[k], id);
    if (path->userCount > 0 && path->userRels == nullptr) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 601);
        return false;
    }
    for (uint32_t i = 0; i < path->userCount; ++i) {
        const CNETUSERREL& u = path->userRels[i];
        if (u.kind < CNET_KIND_USER_ASSOC || u.kind > CNET_KIND_USER_LOWER || u.number == 0 ||
            u.number > 128) {
            cnetSetStatus(st, CNET_RC_PARAMETER, 602);
            return false;
        }
        set(u.kind == CNET_KIND_USER_ASSOC ? 3 : u.kind == CNET_KIND_USER_HIGHER ? 1 : 2,
            127 + u.number);
    }
    return true;
}

bool cnetRelSelected(const CNETRELSEL* sel, CNETREL r) {
    if (r.id == 0 || (r.category != 1 && r.category != 2 && r.category != 3)) return false;
    int which = r.category == 3 ? 0 : r.category == 1 ? 1 : 2;
    return (sel->bits[which][(r.id - 1) / 8] & (0x80u >> ((r.id - 1) % 8))) != 0;
}

bool cnetRootRefer(CNETCTL* ctl, const CNETPATH* path, CNETOUTPUT* out, CNETSTATUS* st) {
    if (!checkWordCount(ctl, st)) return false;
    for (uint32_t id = 0; id < ctl->head.wordCount; ++id) {
        CNETWORD w;
        if (!cnetReadWord(ctl, id, &w, st)) return false;
        if (w.deleted) continue;
        bool top = true;
        for (uint32_t i = 0; i < w.relCount && top; ++i) {
            const CNETRELENTRY& r = w.rels[i];
            if (r.rel.category == 1 || (r.rel.category == 3 && r.target < id)) top = false;
        }
        if (!top) continue;
        if (out->count < path->termLimit) {
            CNETRESULT* rec = &out->results[out->count];
            if (!fillRecord(ctl, w, rec, st)) return false;
            rec->parent = UINT32_MAX;
            out->count++;
        } else {
            st->resultsCut++;
        }
    }
    return true;
}

bool cnetExpand(void** work, CNETCTL* ctl, const CNETBASE* base, const CNETPATH* path,
                const CNETRELSEL* sel, CNETOUTPUT* out, CNETSTATUS* st) {
    const uint8_t cp = ctl->head.codepage;
    // The base in normalised form, then in display form.
    uint8_t norm[CNET_DEF_NORM_MAX * 2 + 8];
    int32_t normLen = 0;
    GTRSTATUS gs;
    std::memset(&gs, 0, sizeof gs);
    GTRnormalizeWord(cp, base->term, base->length, norm, static_cast<int32_t>(sizeof norm),
                     &normLen, 1, &gs);
    if (gs.retcode != 0) {
        cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                      CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode));
        return false;
    }
    if (normLen <= 0 || (cp == 34 && normLen > static_cast<int32_t>(CNET_DEF_NORM_MAX))) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 610);
        return false;
    }
    uint8_t display[CNET_DEF_NORM_MAX];
    uint32_t displayLen = 0;
    if (!cnetGTRunnormalizeWord(cp, norm, static_cast<uint32_t>(normLen), display, 64,
                                &displayLen, st))
        return false;
    if (!checkWordCount(ctl, st)) return false;
    uint32_t* ids = nullptr;
    uint32_t idCount = 0;
    if (!cnetWord_WordID(work, &ctl->dirs, ctl->dictName, cp, display, displayLen,
                         base->precision, base->singleMask, base->multiMask, &ids, &idCount,
                         st))
        return false;
    bool ok = true;
    bool baseExists = false;
    try {
        std::vector<uint8_t> visited(ctl->head.wordCount, 0);
        std::vector<QEntry> queue;
        for (uint32_t i = 0; i < idCount; ++i) {
            if (ids[i] >= ctl->head.wordCount || visited[ids[i]]) continue;
            visited[ids[i]] = 1;
            queue.push_back(QEntry{ids[i], -1, CNETREL{0, 0}, 0, 0, -1});
        }
        for (size_t q = 0; q < queue.size() && ok; ++q) {
            const QEntry e = queue[q];
            CNETWORD w;
            if (!cnetReadWord(ctl, e.word, &w, st)) {
                ok = false;
                break;
            }
            if (w.deleted) continue;
            if (e.depth == 0) baseExists = true;
            int64_t recordIndex = -1;
            CNETRESULT rec;
            if (!fillRecord(ctl, w, &rec, st)) {
                ok = false;
                break;
            }
            if (rec.length != displayLen || std::memcmp(rec.term, display, displayLen) != 0) {
                if (out->count < path->termLimit) {
                    rec.depth = e.depth;
                    rec.strength = e.strength;
                    relKind(e.rel, &rec.relKind, &rec.relNumber);
                    rec.parent = e.parent < 0 ? UINT32_MAX : static_cast<uint32_t>(e.parent);
                    out->results[out->count] = rec;
                    recordIndex = out->count;
                    out->count++;
                } else {
                    st->resultsCut++;
                }
            }
            if (uint64_t{e.depth} + 1 > path->depthLimit) continue;
            // The read buffers are reused by the next read: copy the relations.
            std::vector<CNETRELENTRY> rels(w.rels, w.rels + w.relCount);
            for (const CNETRELENTRY& r : rels) {
                if (r.target == e.word || static_cast<int64_t>(r.target) == e.from) continue;
                if (r.target >= ctl->head.wordCount) continue;
                if (!cnetRelSelected(sel, r.rel) || r.strength < path->minStrength) continue;
                if (visited[r.target]) continue;
                visited[r.target] = 1;
                queue.push_back(
                    QEntry{r.target, e.word, r.rel, e.depth + 1, r.strength, recordIndex});
            }
        }
    } catch (const std::bad_alloc&) {
        cnetSetStatus(st, CNET_RC_MEMORY, 611);
        ok = false;
    }
    std::free(ids);
    if (ok && !baseExists) {
        cnetSetStatus(st, CNET_RC_NOT_FOUND, 612);
        ok = false;
    }
    return ok;
}

bool cnetOpenForReading(const char* dirspec, const char* name, CNETLOCK* lk, CNETCTL* ctl,
                        CNETSTATUS* st) {
    bool exists = false;
    if (!cnetExist(dirspec, name, &exists, nullptr, st)) return false;
    if (!exists) {
        CNETDIRS dirs;
        // An interrupted commit may have left the live set to be renamed.
        if (!cnetSplitDirs(dirspec, name, &dirs, st)) return false;
        if (!cnetCommitMarkExists(&dirs, name)) {
            cnetSetStatus(st, CNET_RC_NOT_EXIST, 620);
            return false;
        }
    }
    if (!cnetLockRecover(nullptr, 4, dirspec, name, lk, st)) return false;
    if (!cnetSetCNETCTL(ctl, dirspec, name, 0, st)) return false;
    // The test hook hears every reader that holds its lock (a refusal is a
    // read error).
    if (cnetFileOpRefused("read", ctl->f[0].name) != 0) {
        cnetSetStatus(st, CNET_RC_READ, 621, ctl->f[0].name);
        return false;
    }
    return cnetOpen(ctl, "rb", st) && cnetReadHead(ctl, &ctl->head, st);
}

void cnetCloseForReading(const char* dirspec, const char* name, CNETLOCK* lk, CNETCTL* ctl,
                         CNETSTATUS* st) {
    CNETSTATUS ignored;
    cnetClearStatus(&ignored);
    CNETSTATUS* s = cnetFailed(st) ? &ignored : st;
    cnetClose(ctl, s);
    cnetFreeCNETCTL(ctl);
    cnetUnlock(nullptr, 4, dirspec, name, lk, s);
}

bool cnetInfo(const char* dirspec, const char* name, CNETINFO* info, CNETSTATUS* st) {
    std::memset(info, 0, sizeof *info);
    CNETLOCK lk;
    cnetLockInit(&lk);
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 630);
        return false;
    }
    bool ok = cnetOpenForReading(dirspec, name, &lk, ctl, st);
    if (ok) {
        const CNETHEAD& h = ctl->head;
        info->head = h;
        info->liveWords = h.wordCount >= h.deletedWords ? h.wordCount - h.deletedWords : 0;
        info->liveGroups = h.groupCount >= h.deletedGroups ? h.groupCount - h.deletedGroups : 0;
    }
    cnetCloseForReading(dirspec, name, &lk, ctl, st);
    std::free(ctl);
    return ok && !cnetFailed(st);
}

extern "C" void vozCNETrefer(void** referHandle, const CNETEXEC* opts, const char* name,
                             const char* dirspec, const CNETBASE* base, const CNETPATH* path,
                             void* reserved, CNETOUTPUT* out, CNETSTATUS* st) {
    (void)opts;
    if (st == nullptr) return;
    cnetClearStatus(st);
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return;
    if (path == nullptr || out == nullptr || referHandle == nullptr ||
        (out->results == nullptr && path->termLimit > 0)) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 640);
        return;
    }
    if (reserved != nullptr || !allZero(path->reserved1, sizeof path->reserved1) ||
        !allZero(path->reserved2, sizeof path->reserved2) ||
        (base != nullptr && !allZero(base->reserved, sizeof base->reserved))) {
        cnetSetStatus(st, CNET_RC_RESERVED, 641);
        return;
    }
    out->count = 0;
    CNETRELSEL sel;
    if (base == nullptr) {
        if (path->types != 0 || path->userKinds != 0 || path->userCount != 0) {
            cnetSetStatus(st, CNET_RC_PARAMETER, 642);
            return;
        }
    } else {
        if (base->length < 1 || base->length > 64 || base->precision != 100) {
            cnetSetStatus(st, CNET_RC_PARAMETER, 643);
            return;
        }
        if (!cnetRelConvert(path, &sel, st)) return;
    }
    CNETLOCK lk;
    cnetLockInit(&lk);
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 644);
        return;
    }
    if (cnetOpenForReading(dirspec, name, &lk, ctl, st)) {
        if (base == nullptr)
            cnetRootRefer(ctl, path, out, st);
        else
            cnetExpand(referHandle, ctl, base, path, &sel, out, st);
    }
    cnetCloseForReading(dirspec, name, &lk, ctl, st);
    std::free(ctl);
}

extern "C" void vozCNETrefer_Release(void** referHandle, CNETSTATUS* st) {
    if (st != nullptr) cnetClearStatus(st);
    cnetWord_WordID_Release(referHandle);
}
