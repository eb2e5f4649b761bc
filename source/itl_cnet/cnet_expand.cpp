// cnet_expand.cpp -- vozCNETexpandSearchCond: the related terms of every
// plain search word of an engine condition become further search words,
// and the order string ORs each word with its terms.
//
// The engine's conversion (GTRconvertSearchCond, or the _Mix form for
// mixed conditions) turns the condition into numbered words (or mixed
// elements) joined by an order string. A structured or mixed condition
// comes back from it unchanged, pointing into the caller's memory; so the
// converted words, their texts, their ranges and the order string are
// moved into the expand handle (cnetMoveCond) before they are expanded,
// and the new condition stays valid after the caller changes or frees its
// own. The conversion handle is kept as well: the field ranges and weights
// of converted query text live in it.
#include "cnet_expand.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "calls/voz_convcond.hpp"
#include "calls/voz_wordcalls.hpp"
#include "cnet_def.hpp"
#include "cnet_regist.hpp"

namespace {

const char kTag[8] = {'E', 'X', 'P', 'A', 'N', 'D', 'W', 'R'};

bool allZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

void engineFailure(CNETSTATUS* st, const GTRSTATUS& gs) {
    cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                  CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode), gs.errfname1,
                  gs.errfname2);
}

// The related terms of one word: the expansion's records at `rec`, the
// number found in *count. A word that cannot be a base term, or is not in
// the dictionary, gets none.
bool expandWord(EXPANDWRK* h, CNETCTL* ctl, const RTRVWORD& w, const CNETPATH* path,
                const CNETRELSEL* sel, CNETRESULT* rec, uint32_t* count, CNETSTATUS* st) {
    *count = 0;
    if (w.type != 'W' || w.wordp == nullptr || w.wordlen < 1 || w.wordlen > 64) return true;
    if (ctl->head.codepage == 34) {
        uint8_t norm[CNET_DEF_NORM_MAX * 3 + 8];
        int32_t len = 0;
        GTRSTATUS gs;
        std::memset(&gs, 0, sizeof gs);
        GTRnormalizeWord(34, w.wordp, w.wordlen, norm, static_cast<int32_t>(sizeof norm), &len,
                         1, &gs);
        if (gs.retcode != 0 || len > static_cast<int32_t>(CNET_DEF_NORM_MAX)) return true;
    }
    CNETBASE base;
    std::memset(&base, 0, sizeof base);
    std::memcpy(base.term, w.wordp, static_cast<size_t>(w.wordlen));
    base.length = static_cast<uint16_t>(w.wordlen);
    base.precision = 100;
    CNETOUTPUT out;
    std::memset(&out, 0, sizeof out);
    out.results = rec;
    CNETSTATUS one;
    cnetClearStatus(&one);
    cnetExpand(&h->refer, ctl, &base, path, sel, &out, &one);
    if (one.retcode == CNET_RC_NOT_FOUND) return true;
    if (one.retcode != 0) {
        cnetSetStatus(st, one.retcode, one.errcode, one.fname1, one.fname2);
        return false;
    }
    st->resultsCut += one.resultsCut;
    *count = out.count;
    return true;
}

// A related term's word: the given word with the term's text and length,
// and the weight scaled by the term's strength.
RTRVWORD relatedWord(const RTRVWORD& w, CNETRESULT* r) {
    RTRVWORD n = w;
    if (w.precision == 0) n.precision = 100;
    n.wordp = r->term;
    n.wordlen = static_cast<int16_t>(r->length);
    if (w.pFieldWeight == nullptr)  // else `weight` counts the field weights
        n.weight = static_cast<int16_t>(static_cast<int32_t>(w.weight) * r->strength / 100);
    return n;
}

}  // namespace

// The order string with every element number n replaced by "( n + a +
// ... )" of its related terms' numbers. A digit run right after "*" is a
// distance and stays. 503 for a number outside 1..count.
bool cnetSearchOrder_OR(const char* order, int32_t count,
                        const std::vector<std::vector<int32_t>>& related, char** out,
                        CNETSTATUS* st) {
    std::string s;
    const size_t len = std::strlen(order);
    for (size_t i = 0; i < len;) {
        const char c = order[i];
        if (c < '0' || c > '9') {
            s.push_back(c);
            ++i;
            continue;
        }
        size_t j = i;
        while (j < len && order[j] >= '0' && order[j] <= '9') ++j;
        if (i > 0 && order[i - 1] == '*') {
            s.append(order + i, j - i);
            i = j;
            continue;
        }
        long n = 0;
        for (size_t k = i; k < j && n <= count; ++k) n = n * 10 + (order[k] - '0');
        if (n < 1 || n > count) {
            cnetSetStatus(st, CNET_RC_PARAMETER, 900);
            return false;
        }
        const std::vector<int32_t>& rel = related[static_cast<size_t>(n - 1)];
        if (rel.empty()) {
            s += std::to_string(n);
        } else {
            s += "( " + std::to_string(n) + " ";
            for (int32_t r : rel) s += "+ " + std::to_string(r) + " ";
            s += ")";
        }
        i = j;
    }
    *out = static_cast<char*>(std::malloc(s.size() + 1));
    if (*out == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 901);
        return false;
    }
    std::memcpy(*out, s.c_str(), s.size() + 1);
    return true;
}

EXPANDWRK* cnetCreateExpandHandle() {
    EXPANDWRK* h = static_cast<EXPANDWRK*>(std::calloc(1, sizeof(EXPANDWRK)));
    if (h != nullptr) std::memcpy(h->tag, kTag, sizeof kTag);
    return h;
}

void cnetClearExpandHandle(EXPANDWRK* h) {
    GTRconvertSearchCond_Release(&h->conv);
    std::free(h->words);
    std::free(h->mix);
    std::free(h->texts);
    std::free(h->ranges);
    std::free(h->order);
    std::free(h->results);
    h->words = nullptr;
    h->mix = nullptr;
    h->texts = nullptr;
    h->ranges = nullptr;
    h->order = nullptr;
    h->results = nullptr;
}

void cnetReleaseExpandHandle(EXPANDWRK* h) {
    if (h == nullptr) return;
    cnetClearExpandHandle(h);
    cnetWord_WordID_Release(&h->refer);
    std::free(h);
}

namespace {

// Moves the texts and range arrays of `words` (records already in the
// handle) and the order string `order` into h->texts and h->ranges and
// re-points the words; *movedOrder is the order string's copy.
bool moveWords(EXPANDWRK* h, const std::vector<RTRVWORD*>& words, const char* order,
               char** movedOrder, CNETSTATUS* st) {
    if (order == nullptr || order[0] == '\0') {
        cnetSetStatus(st, CNET_RC_PARAMETER, 940);
        return false;
    }
    size_t textBytes = 0, rangeCount = 0;
    for (const RTRVWORD* w : words) {
        if (w->wordp != nullptr && w->wordlen > 0) textBytes += static_cast<size_t>(w->wordlen);
        if (w->range != nullptr && w->rangenum > 0) rangeCount += static_cast<size_t>(w->rangenum);
    }
    const size_t orderBytes = std::strlen(order) + 1;
    h->texts = static_cast<uint8_t*>(std::malloc(textBytes + orderBytes));
    if (rangeCount > 0)
        h->ranges = static_cast<RTRVRANGE*>(std::calloc(rangeCount, sizeof(RTRVRANGE)));
    if (h->texts == nullptr || (rangeCount > 0 && h->ranges == nullptr)) {
        cnetSetStatus(st, CNET_RC_MEMORY, 941);
        return false;
    }
    uint8_t* text = h->texts;
    RTRVRANGE* range = h->ranges;
    for (RTRVWORD* w : words) {
        if (w->precision == 0) w->precision = 100;
        if (w->wordp != nullptr && w->wordlen > 0) {
            std::memcpy(text, w->wordp, static_cast<size_t>(w->wordlen));
            w->wordp = text;
            text += w->wordlen;
        }
        if (w->range != nullptr && w->rangenum > 0) {
            std::memcpy(range, w->range, static_cast<size_t>(w->rangenum) * sizeof(RTRVRANGE));
            w->range = range;
            range += w->rangenum;
        }
    }
    std::memcpy(text, order, orderBytes);
    *movedOrder = reinterpret_cast<char*>(text);
    return true;
}

}  // namespace

bool cnetMoveCond(EXPANDWRK* h, const GTRSEARCH_COND& conv, size_t capacity,
                  GTRSEARCH_COND* moved, CNETSTATUS* st) {
    const int32_t count = conv.struct_num;
    if (count < 1 || conv.struct_word == nullptr) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 942);
        return false;
    }
    if (capacity < static_cast<size_t>(count)) capacity = static_cast<size_t>(count);
    h->words = static_cast<RTRVWORD*>(std::calloc(capacity, sizeof(RTRVWORD)));
    if (h->words == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 943);
        return false;
    }
    std::vector<RTRVWORD*> words(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        h->words[i] = conv.struct_word[i];
        words[static_cast<size_t>(i)] = &h->words[i];
    }
    char* order = nullptr;
    if (!moveWords(h, words, conv.struct_order, &order, st)) return false;
    *moved = conv;
    moved->struct_word = h->words;
    moved->struct_order = order;
    return true;
}

bool cnetMoveCond_Mix(EXPANDWRK* h, const GTRSEARCH_COND& conv, size_t capacity,
                      GTRSEARCH_COND* moved, CNETSTATUS* st) {
    const int32_t count = conv.mix_num;
    if (count < 1 || conv.mix == nullptr) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 944);
        return false;
    }
    if (capacity < static_cast<size_t>(count)) capacity = static_cast<size_t>(count);
    h->mix = static_cast<GTRSEARCHMIX*>(std::calloc(capacity, sizeof(GTRSEARCHMIX)));
    if (h->mix == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 945);
        return false;
    }
    std::vector<RTRVWORD*> words;
    for (int32_t i = 0; i < count; ++i) {
        h->mix[i] = conv.mix[i];
        if (h->mix[i].mix_type == GTR_MIX_WORD) words.push_back(&h->mix[i].word);
    }
    char* order = nullptr;
    if (!moveWords(h, words, conv.mix_order, &order, st)) return false;
    *moved = conv;
    moved->mix = h->mix;
    moved->mix_order = order;
    return true;
}

// Structured conditions: the moved words, then the related terms of each.
bool cnetExpandCond(EXPANDWRK* h, CNETCTL* ctl, const GTRSEARCH_COND& moved,
                    const CNETPATH* path, const CNETRELSEL* sel, GTRSEARCH_COND* out,
                    CNETSTATUS* st) {
    const int32_t count = moved.struct_num;
    const size_t per = path->termLimit;
    h->results = static_cast<CNETRESULT*>(std::calloc(static_cast<size_t>(count) * per,
                                                      sizeof(CNETRESULT)));
    if (h->results == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 911);
        return false;
    }
    std::vector<std::vector<int32_t>> related(static_cast<size_t>(count));
    int32_t next = count;
    for (int32_t i = 0; i < count; ++i) {
        CNETRESULT* rec = h->results + static_cast<size_t>(i) * per;
        uint32_t found = 0;
        if (!expandWord(h, ctl, h->words[i], path, sel, rec, &found, st)) return false;
        for (uint32_t k = 0; k < found; ++k) {
            h->words[next] = relatedWord(h->words[i], &rec[k]);
            related[static_cast<size_t>(i)].push_back(++next);
        }
    }
    if (!cnetSearchOrder_OR(moved.struct_order, count, related, &h->order, st)) return false;
    *out = moved;
    out->struct_num = next;
    out->struct_order = h->order;
    return true;
}

// Mixed conditions: every element unchanged, then one word element per
// related term of each word element.
bool cnetExpandCond_Mix(EXPANDWRK* h, CNETCTL* ctl, const GTRSEARCH_COND& moved,
                        const CNETPATH* path, const CNETRELSEL* sel, GTRSEARCH_COND* out,
                        CNETSTATUS* st) {
    const int32_t count = moved.mix_num;
    const size_t per = path->termLimit;
    h->results = static_cast<CNETRESULT*>(std::calloc(static_cast<size_t>(count) * per,
                                                      sizeof(CNETRESULT)));
    if (h->results == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 921);
        return false;
    }
    std::vector<std::vector<int32_t>> related(static_cast<size_t>(count));
    int32_t next = count;
    for (int32_t i = 0; i < count; ++i) {
        if (h->mix[i].mix_type != GTR_MIX_WORD) continue;
        CNETRESULT* rec = h->results + static_cast<size_t>(i) * per;
        uint32_t found = 0;
        if (!expandWord(h, ctl, h->mix[i].word, path, sel, rec, &found, st)) return false;
        for (uint32_t k = 0; k < found; ++k) {
            h->mix[next] = h->mix[i];
            h->mix[next].word = relatedWord(h->mix[i].word, &rec[k]);
            related[static_cast<size_t>(i)].push_back(++next);
        }
    }
    if (!cnetSearchOrder_OR(moved.mix_order, count, related, &h->order, st)) return false;
    *out = moved;
    out->mix_num = next;
    out->mix_order = h->order;
    return true;
}

extern "C" void vozCNETexpandSearchCond(void** handle, const char* dirspec, const char* name,
                                        const GTRSEARCH_COND* cond, const CNETPATH* path,
                                        const CNETEXPAND* opts, void* reserved,
                                        GTRSEARCH_COND* newCond, CNETSTATUS* st) {
    if (st == nullptr) return;
    cnetClearStatus(st);
    if (handle == nullptr) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 930);
        return;
    }
    EXPANDWRK* h = static_cast<EXPANDWRK*>(*handle);
    if (h == nullptr) {
        h = cnetCreateExpandHandle();
        if (h == nullptr) {
            cnetSetStatus(st, CNET_RC_MEMORY, 931);
            return;
        }
        *handle = h;
    } else {
        cnetClearExpandHandle(h);
    }
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return;
    if (cond == nullptr || path == nullptr || opts == nullptr || newCond == nullptr) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 932);
        return;
    }
    if (reserved != nullptr || !allZero(path->reserved1, sizeof path->reserved1) ||
        !allZero(path->reserved2, sizeof path->reserved2) ||
        !allZero(opts->reserved, sizeof opts->reserved)) {
        cnetSetStatus(st, CNET_RC_RESERVED, 933);
        return;
    }
    if (path->termLimit < 1 || path->termLimit > 64 || opts->version != 1) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 934);
        return;
    }
    CNETRELSEL sel;
    if (!cnetRelConvert(path, &sel, st)) return;
    CNETLOCK lk;
    cnetLockInit(&lk);
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 935);
        return;
    }
    if (cnetOpenForReading(dirspec, name, &lk, ctl, st)) {
        const bool mixed = cond->cond_type == GTR_COND_MIX || cond->cond_type == GTR_COND_MIXQUERY;
        GTRSEARCH_COND conv;
        std::memset(&conv, 0, sizeof conv);
        GTRSTATUS gs;
        std::memset(&gs, 0, sizeof gs);
        if (mixed)
            GTRconvertSearchCond_Mix(&h->conv, *cond, &conv, &gs);
        else
            GTRconvertSearchCond(&h->conv, *cond, &conv, &gs);
        if (gs.retcode != 0) {
            engineFailure(st, gs);
        } else {
            // Room for the words and termLimit related terms of each.
            const size_t count =
                static_cast<size_t>(std::max(mixed ? conv.mix_num : conv.struct_num, 0));
            const size_t capacity = count * (static_cast<size_t>(path->termLimit) + 1);
            GTRSEARCH_COND moved;
            try {
                if (mixed) {
                    if (cnetMoveCond_Mix(h, conv, capacity, &moved, st))
                        cnetExpandCond_Mix(h, ctl, moved, path, &sel, newCond, st);
                } else if (cnetMoveCond(h, conv, capacity, &moved, st)) {
                    cnetExpandCond(h, ctl, moved, path, &sel, newCond, st);
                }
            } catch (const std::bad_alloc&) {
                cnetSetStatus(st, CNET_RC_MEMORY, 936);
            }
        }
    }
    cnetCloseForReading(dirspec, name, &lk, ctl, st);
    std::free(ctl);
    if (cnetFailed(st)) cnetClearExpandHandle(h);
}

extern "C" void vozCNETexpandSearchCond_Release(void** handle, CNETSTATUS* st) {
    if (st != nullptr) cnetClearStatus(st);
    if (handle == nullptr) return;
    cnetReleaseExpandHandle(static_cast<EXPANDWRK*>(*handle));
    *handle = nullptr;
}
