// Test support for the document walks: a word control whose next-hit
// operation walks an in-memory list of occurrences (ascending by document
// and position), counting the calls it gets, and an index descriptor
// without files for walks that read no key file. Header-only.
#ifndef TESTS_ITL_BASE_SEARCH_WALK_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_WALK_FIXTURE_HPP

#include <cstring>
#include <vector>

#include "files/voz_status.hpp"
#include "search/voz_searchrec.hpp"
#include "search/voz_wordctl.hpp"

namespace walkfix {

// The in-memory word behind a control's priv pointer.
struct ListWord {
    std::vector<OCC> hits;   // ascending by (docno, pos)
    size_t next = 0;         // first hit not yet given out
    int calls = 0;           // next-hit calls
    int releases = 0;        // calls with the release target
    bool ranOut = false;     // the list ended the word
    std::vector<int32_t> docsGiven;  // documents of the hits given out
};

// Next-hit operation over a ListWord: the first hit at or after the target
// (the resume pair for a negative document); a target document above
// 0x7FFFFFFE ends the word.
inline void listNextHit(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM*,
                        int32_t doc, int32_t pos, GTRSTATUS*) {
    ListWord* l = static_cast<ListWord*>(w->priv);
    ++l->calls;
    if (doc > VOZ_DOC_END - 1) {
        if (pos == VOZ_RELEASE_POS) ++l->releases;
        voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
        w->priv = l;  // keep it reachable for the checks
        return;
    }
    if (doc < 0) {
        doc = w->resumeDoc;
        pos = w->resumePos;
    }
    // A hit at or after the target; the walk never asks for one before the
    // current hit, but a target below it keeps the current hit.
    size_t i = l->next > 0 ? l->next - 1 : 0;
    while (i < l->hits.size() &&
           (l->hits[i].docno < doc || (l->hits[i].docno == doc && l->hits[i].pos < pos)))
        ++i;
    if (i >= l->hits.size()) {
        voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
        w->priv = l;
        l->next = l->hits.size();
        l->ranOut = true;
        return;
    }
    w->cur = l->hits[i];
    w->endFlag = 'N';
    w->resumeDoc = w->cur.docno;
    w->resumePos = w->cur.pos + 1;
    l->next = i + 1;
    l->docsGiven.push_back(w->cur.docno);
}

inline OCC hit(int32_t doc, int32_t pos, uint16_t len = 1) {
    OCC o{};
    o.docno = doc;
    o.pos = pos;
    o.len = len;
    o.weight = 1;
    o.match = 100;
    return o;
}

// A word control over `l` as the word set-up leaves it.
inline void setUpWord(_WCTLHEAD* w, ListWord* l, char kind = 'W') {
    memset(w, 0, sizeof *w);
    w->priv = l;
    w->nextHit = listNextHit;
    w->kind = kind;
    w->matchGrade = 100;
    w->resumeDoc = -1;
    w->resumePos = 1;
    w->resumeDoc2 = -1;
    w->resumePos2 = 1;
    w->weight = 1.0f;
    w->cur.docno = -1;
}

}  // namespace walkfix

#endif  // TESTS_ITL_BASE_SEARCH_WALK_FIXTURE_HPP
