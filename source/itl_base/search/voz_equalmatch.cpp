// voz_equalmatch.cpp -- the match search of an equal word (see
// voz_equalmatch.hpp).
#include <algorithm>

#include "files/voz_status.hpp"
#include "search/voz_equalmatch.hpp"

namespace {

constexpr int32_t kListStep = 256;  // growth of the position list

int32_t unitsOf(const VOZEQMATCH* m, int32_t i) {
    return m->parts[i].partLength / std::max(m->unitWidth, 1);
}

// Brings every part to one document >= *doc. 1 when found (*doc set), 0
// when some part ran out of documents, -1 on failure.
int32_t commonDocument(VOZEQMATCH* m, int32_t* doc, GTRSTATUS* st) {
    int32_t target = *doc;
    for (;;) {
        int32_t highest = target;
        for (int32_t i = 0; i < m->partCount; ++i) {
            GCTLINFO& g = m->gctl[i];
            if (g.endOfDocs != 'Y' && g.curDoc < target)
                m->moves[i]->pointVvg(&g, target, m->index, st);
            if (voz_Failed(st)) return -1;
            if (g.endOfDocs == 'Y' || g.curDoc >= VOZ_DOC_END) return 0;
            highest = std::max(highest, g.curDoc);
        }
        if (highest == target) break;
        target = highest;
    }
    *doc = target;
    return 1;
}

// Chains the parts from s on. Returns the part at which the chain failed,
// or partCount when it is complete; -1 on failure.
int32_t chain(VOZEQMATCH* m, int32_t s, GTRSTATUS* st) {
    for (int32_t i = 0; i < m->partCount; ++i) {
        GCTLINFO& g = m->gctl[i];
        int64_t want = s;
        if (i > 0)
            want = static_cast<int64_t>(m->gctl[i - 1].curPos) +
                   m->parts[i].minOffset;
        if (want > VOZ_POS_END - 1) return i;
        if (g.endOfPos != 'Y' && g.curPos < want)
            m->moves[i]->pointPos(&g, static_cast<int32_t>(want), m->index, st);
        if (voz_Failed(st)) return -1;
        if (g.endOfPos == 'Y') return i;
        if (i > 0 && m->parts[i].fixedChain == 'Y' &&
            m->parts[i].maxOffset < VOZ_EQ_UNBOUNDED &&
            static_cast<int64_t>(g.curPos) >
                static_cast<int64_t>(m->gctl[i - 1].curPos) +
                    m->parts[i].maxOffset)
            return i;
    }
    return m->partCount;
}

// Collects every part's positions below regionEnd and chooses one per
// part. 1 match, 0 none, -1 failure.
int32_t collectAndChoose(VOZEQMATCH* m, int32_t regionEnd, GTRSTATUS* st) {
    m->list.clear();
    m->ranges.assign(static_cast<size_t>(2 * m->partCount), 0);
    for (int32_t i = 0; i < m->partCount; ++i) {
        GCTLINFO& g = m->gctl[i];
        m->ranges[static_cast<size_t>(2 * i)] =
            static_cast<int32_t>(m->list.size());
        while (g.endOfPos != 'Y' && g.curPos < regionEnd) {
            if (m->list.size() == m->list.capacity()) {
                try {
                    m->list.reserve(m->list.size() + kListStep);
                } catch (...) {
                    voz_setStatus(st, 11, 303);
                    return -1;
                }
            }
            m->list.push_back(g.curPos);
            m->moves[i]->pointPos(&g, g.curPos + 1, m->index, st);
            if (voz_Failed(st)) return -1;
        }
        m->ranges[static_cast<size_t>(2 * i + 1)] =
            static_cast<int32_t>(m->list.size());
    }
    m->chosen.assign(static_cast<size_t>(m->partCount), 0);
    return voz_EqualChoose(m->parts, m->partCount, m->list.data(),
                           m->ranges.data(), m->chosen.data());
}

void fillOcc(const VOZEQMATCH* m, int32_t doc, OCC* occ) {
    const int32_t n = m->partCount;
    const int32_t first = m->chosen[0];
    const int32_t last = m->chosen[static_cast<size_t>(n - 1)];
    *occ = OCC{};
    occ->docno = doc;
    occ->pos = first + m->startMark;
    occ->len = static_cast<uint16_t>(last - first + unitsOf(m, n - 1) -
                                     m->startMark - m->endMark);
    occ->match = 100;  // the match grade; the hit count is the walk's
}

// One part between marks: every position of the part is an occurrence.
int32_t nextSingle(VOZEQMATCH* m, int32_t doc, int32_t s, OCC* occ,
                   int32_t* resumePos, GTRSTATUS* st) {
    GCTLINFO& g = m->gctl[0];
    const VOZEQMOVES* mv = m->moves[0];
    for (;;) {
        const int32_t was = doc;
        int32_t r = commonDocument(m, &doc, st);
        if (r <= 0) return r;
        if (doc != was) s = 1;
        if (doc != m->posDoc) {
            mv->pointFirstPos(&g, s, m->index, st);
            m->posDoc = doc;
        } else if (g.endOfPos != 'Y' && g.curPos < s) {
            mv->pointPos(&g, s, m->index, st);
        }
        if (voz_Failed(st)) return -1;
        if (g.endOfPos == 'Y') {
            ++doc;
            s = 1;
            continue;
        }
        m->chosen.assign(1, g.curPos);
        fillOcc(m, doc, occ);
        *resumePos = g.curPos;
        return 1;
    }
}

}  // namespace

int32_t voz_EqualNext(VOZEQMATCH* m, int32_t doc, int32_t pos, OCC* occ,
                      int32_t* resumePos, GTRSTATUS* st) {
    if (m->partCount < 1) return 0;
    int32_t s = std::max(pos, 1);
    if (s > VOZ_POS_END - 1) {
        ++doc;
        s = 1;
    }
    if (m->partCount == 1 && (m->startMark || m->endMark))
        return nextSingle(m, doc, s, occ, resumePos, st);
    for (;;) {
        if (doc >= VOZ_DOC_END) return 0;
        const int32_t was = doc;
        int32_t r = commonDocument(m, &doc, st);
        if (r <= 0) return r;
        if (doc != was) s = 1;
        bool nextDoc = false;
        const bool again = doc == m->posDoc;
        m->posDoc = doc;
        for (int32_t i = 0; i < m->partCount && !nextDoc; ++i) {
            GCTLINFO& g = m->gctl[i];
            if (!again)
                m->moves[i]->pointFirstPos(&g, s, m->index, st);
            else if (g.endOfPos != 'Y' && g.curPos < s)
                m->moves[i]->pointPos(&g, s, m->index, st);
            if (voz_Failed(st)) return -1;
            nextDoc = g.endOfPos == 'Y';
        }
        while (!nextDoc) {
            int32_t failed = chain(m, s, st);
            if (failed < 0) return -1;
            if (failed == m->partCount) {
                const int32_t n = m->partCount;
                const int32_t lastUnit =
                    m->gctl[n - 1].curPos + unitsOf(m, n - 1) - 1;
                int32_t rs = 0, re = 0, limit = 0;
                m->region(m->regionCtx, doc, lastUnit, &rs, &re, &limit, st);
                if (voz_Failed(st)) return -1;
                failed = 0;
                const int32_t p0 = m->gctl[0].curPos;
                if (rs <= p0 && p0 < re) {
                    r = collectAndChoose(m, re, st);
                    if (r < 0) return -1;
                    if (r == 1) {
                        fillOcc(m, doc, occ);
                        // The next search starts at the region's end
                        // (an exclusive bound: the next region may begin
                        // there).
                        *resumePos = std::max(re, limit) - 1;
                        return 1;
                    }
                    // No match in this region. The collection moved every
                    // part past its end, so the search goes on from there:
                    // a region found from part 0's new position would skip
                    // that position.
                    s = std::max(re, s + 1);
                    continue;
                }
            }
            GCTLINFO& g = m->gctl[failed];
            if (g.endOfPos == 'Y') {
                nextDoc = true;
                break;
            }
            int32_t rs = 0, re = 0;
            m->region(m->regionCtx, doc, g.curPos, &rs, &re, nullptr, st);
            if (voz_Failed(st)) return -1;
            const int32_t lo = std::max(s + 1, m->gctl[0].curPos + 1);
            s = rs >= lo ? rs : lo;
            if (s > VOZ_POS_END - 1) nextDoc = true;
        }
        ++doc;
        s = 1;
    }
}
