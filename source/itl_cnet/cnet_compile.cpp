// cnet_compile.cpp -- cnetCreate (see cnet_compile.hpp): the definition's
// blocks into set 1, through the temporary store or, for tests, in memory.
// Both ways share the block table, the record table (8 bytes a word
// occurrence), the dropping of duplicate blocks and the writing of the set;
// they differ only in where the word texts are kept and how equal words
// are found.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "cnet_compile.hpp"
#include "cnet_def.hpp"
#include "cnet_file.hpp"
#include "cnet_regist.hpp"
#include "cnet_tmpstore.hpp"

namespace {

CnetCompileSettings g_settings = {false, CNET_TMP_RUN_RECORDS, CNET_TMP_RUN_TEXT};

// One word occurrence, in reading order.
struct Rec {
    uint32_t wordId;
    uint8_t strength;
    CNETREL rel;      // (255, 0) for a member
    bool member;
};

// One block of the definition (group information).
struct Block {
    uint32_t first;   // index of its first record
    uint32_t members;
    uint32_t rels;
    CNETREL rel;      // block relation, (0, 0) none
    uint32_t line;
    int64_t newId;    // -1: dropped as a duplicate
};

struct Compiled {
    std::vector<Rec> recs;
    std::vector<Block> blocks;
    uint32_t wordCount = 0;
    std::vector<uint32_t> firstRec;   // by word id: its first record
};

// The word texts of the in-memory way: record i's text is
// text[off[i] .. off[i+1]).
struct MemText {
    std::vector<uint8_t> text;
    std::vector<uint32_t> off{0};
};

// The store of one compile, closed (not deleted) when it goes.
struct Store {
    TMPCTL t;
    bool open = false;
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store() {
        if (open) cnetTmpClose(&t);
    }
};

bool syncOpenSet(CNETCTL* ctl, CNETSTATUS* st) {
    for (CNETFILE& f : ctl->f) {
        if (f.fp == nullptr) continue;
        if (std::fflush(f.fp) != 0 || cnetFileOpRefused("fsync", f.name) != 0 ||
            fsync(fileno(f.fp)) != 0) {
            cnetSetStatus(st, CNET_RC_WRITE, 701, f.name);
            return false;
        }
    }
    return true;
}

// ---- step 1: the blocks ------------------------------------------------------

// Reads every block into c->blocks and c->recs and hands each word's text
// to put(text, length, strength, rel) in reading order.
template <class Put>
bool readBlocks(const CNETDEFINE* def, uint8_t codepage, const CNETEXEC* opts, Compiled* c,
                Put put, CNETSTATUS* st) {
    DEFCTL* dc = static_cast<DEFCTL*>(std::malloc(sizeof(DEFCTL)));
    if (dc == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 730);
        return false;
    }
    bool ok = cnetDefOpen(dc, def, codepage, "rb", st);
    while (ok) {
        if (!cnetDefRead(dc, opts, st)) {
            ok = false;
            break;
        }
        if (dc->memberCount == 0) break;
        Block b;
        b.first = static_cast<uint32_t>(c->recs.size());
        b.members = dc->memberCount;
        b.rels = dc->relCount;
        b.rel = dc->blockRel;
        b.line = dc->blockLine;
        b.newId = 0;
        for (uint32_t i = 0; i < dc->count && ok; ++i) {
            const DEFWORD& w = dc->words[i];
            Rec r;
            r.wordId = 0;
            r.strength = w.strength;
            r.rel = w.rel;
            r.member = i < dc->memberCount;
            ok = put(dc->text + w.offset, w.length, w.strength, w.rel);
            c->recs.push_back(r);
        }
        c->blocks.push_back(b);
    }
    if (ok && c->recs.empty()) {
        cnetSetStatus(st, CNET_RC_DEFINITION, 1, def->fileName);
        ok = false;
    }
    cnetDefClose(dc, st);
    std::free(dc);
    return ok && !cnetFailed(st);
}

// ---- step 2: word and group ids ----------------------------------------------

// Word ids by first appearance, texts in memory.
void numberWordsMemory(const MemText& m, Compiled* c) {
    std::unordered_map<std::string, uint32_t> ids;
    for (uint32_t i = 0; i < c->recs.size(); ++i) {
        std::string key(reinterpret_cast<const char*>(m.text.data() + m.off[i]),
                        m.off[i + 1] - m.off[i]);
        auto it = ids.find(key);
        if (it == ids.end()) {
            it = ids.emplace(key, c->wordCount++).first;
            c->firstRec.push_back(i);
        }
        c->recs[i].wordId = it->second;
    }
}

// Word ids by first appearance from a sorted read of the store: a record
// whose word equals the one before points to the first record of its word
// (the lowest record number, sorted first); then, in record order, the
// first record of a word takes the next id and every other the id of its
// first record.
bool numberWordsStore(TMPCTL* t, Compiled* c, CNETSTATUS* st) {
    if (!cnetTmpRewind(t, 'S', st)) return false;
    uint8_t prev[CNET_TMP_WORD_MAX];
    uint32_t prevLen = 0, prevFirst = 0;
    uint64_t seen = 0;
    const uint32_t n = static_cast<uint32_t>(c->recs.size());
    for (;;) {
        TMPREC r;
        const uint8_t* text = nullptr;
        bool more = false;
        if (!cnetTmpRead(t, &r, &text, &more, st)) return false;
        if (!more) break;
        if (r.number >= n) {
            cnetSetStatus(st, CNET_RC_UNEXPECTED, 731);
            return false;
        }
        if (seen == 0 || cnetWordCmp(prev, prevLen, text, r.length) != 0) {
            std::memcpy(prev, text, r.length);
            prevLen = r.length;
            prevFirst = r.number;
        }
        c->recs[r.number].wordId = prevFirst;
        ++seen;
    }
    if (seen != n) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 732);
        return false;
    }
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t first = c->recs[i].wordId;
        if (first > i) {
            cnetSetStatus(st, CNET_RC_UNEXPECTED, 733);
            return false;
        }
        if (first == i) {
            c->recs[i].wordId = c->wordCount++;
            c->firstRec.push_back(i);
        } else {
            c->recs[i].wordId = c->recs[first].wordId;
        }
    }
    return true;
}

bool sameBlock(const Compiled& c, const Block& a, const Block& b) {
    if (a.members != b.members || a.rels != b.rels || a.rel.category != b.rel.category ||
        a.rel.id != b.rel.id)
        return false;
    for (uint32_t i = 0; i < a.members + a.rels; ++i) {
        const Rec& x = c.recs[a.first + i];
        const Rec& y = c.recs[b.first + i];
        if (x.wordId != y.wordId || x.strength != y.strength ||
            x.rel.category != y.rel.category || x.rel.id != y.rel.id)
            return false;
    }
    return true;
}

uint64_t blockHash(const Compiled& c, const Block& b) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
    mix(b.members);
    mix(b.rels);
    mix(b.rel.category * 256u + b.rel.id);
    for (uint32_t i = 0; i < b.members + b.rels; ++i) {
        const Rec& r = c.recs[b.first + i];
        mix(r.wordId);
        mix((uint32_t{r.strength} << 16) | (uint32_t{r.rel.category} << 8) | r.rel.id);
    }
    return h;
}

// Blocks equal in relation, counts and entries: the first is kept, the
// others are dropped with warning 704; the kept ones are numbered in
// block order.
void dropDuplicateBlocks(const CNETDEFINE* def, const CNETEXEC* opts, Compiled* c) {
    std::unordered_multimap<uint64_t, uint32_t> seen;
    seen.reserve(c->blocks.size());
    int64_t next = 0;
    for (uint32_t b = 0; b < c->blocks.size(); ++b) {
        Block& blk = c->blocks[b];
        const uint64_t h = blockHash(*c, blk);
        auto range = seen.equal_range(h);
        const Block* kept = nullptr;
        for (auto it = range.first; it != range.second && kept == nullptr; ++it)
            if (sameBlock(*c, c->blocks[it->second], blk)) kept = &c->blocks[it->second];
        if (kept != nullptr) {
            blk.newId = -1;
            cnetWarnf(opts, def->fileName,
                      "vozC704W: Warning: line %lu: Equivalent to the block in line %lu.  "
                      "Discarded.\n",
                      static_cast<unsigned long>(blk.line),
                      static_cast<unsigned long>(kept->line));
            continue;
        }
        seen.emplace(h, b);
        blk.newId = next++;
    }
}

// ---- step 3: the set ----------------------------------------------------------

uint8_t combined(uint8_t s, uint8_t sW) {
    return static_cast<uint8_t>(((s - 1) * (sW - 1)) / 99 + 1);
}

CNETREL reversed(CNETREL r) {
    if (r.category == 1) r.category = 2;
    else if (r.category == 2) r.category = 1;
    return r;
}

bool relLess(const CNETRELENTRY& a, const CNETRELENTRY& b) {
    if (a.target != b.target) return a.target < b.target;
    if (a.rel.category != b.rel.category) return a.rel.category < b.rel.category;
    if (a.rel.id != b.rel.id) return a.rel.id < b.rel.id;
    return a.strength < b.strength;
}

bool relEqual(const CNETRELENTRY& a, const CNETRELENTRY& b) {
    return a.target == b.target && a.rel.category == b.rel.category &&
           a.rel.id == b.rel.id && a.strength == b.strength;
}

// Warning 706 when a word is both broader and narrower than one target.
void warnInconsistent(const std::vector<CNETRELENTRY>& rels, uint8_t codepage,
                      const uint8_t* text, uint32_t len, const CNETEXEC* opts) {
    for (size_t i = 0; i + 1 < rels.size(); ++i) {
        for (size_t j = i + 1; j < rels.size() && rels[j].target == rels[i].target; ++j) {
            if (rels[i].rel.id == rels[j].rel.id &&
                ((rels[i].rel.category == 1 && rels[j].rel.category == 2) ||
                 (rels[i].rel.category == 2 && rels[j].rel.category == 1))) {
                uint8_t display[CNET_DEF_NORM_MAX];
                uint32_t dlen = 0;
                CNETSTATUS ignored;
                cnetClearStatus(&ignored);
                if (cnetGTRunnormalizeWord(codepage, text, len, display, CNET_DEF_NORM_MAX - 1,
                                           &dlen, &ignored)) {
                    display[dlen] = '\0';
                    cnetWarnf(opts, nullptr,
                              "vozC706W: Warning: Inconsistent definition of `%s' is found.\n",
                              reinterpret_cast<const char*>(display));
                }
                return;
            }
        }
    }
}

// Writes the words and groups of *c into the open set 1. textOf(record,
// &text, &length, st) gives the text of a word's first record; it is asked
// in ascending record order.
template <class TextOf>
bool writeSet(CNETCTL* ctl, uint8_t codepage, const CNETEXEC* opts, const Compiled* c,
              TextOf textOf, CNETSTATUS* st) {
    CNETHEAD head;
    std::memset(&head, 0, sizeof head);
    head.version = CNET_VERSION;
    head.codepage = codepage;
    if (!cnetWriteHead(ctl, &head, st)) return false;
    // The occurrences of each word in kept blocks, word by word.
    std::vector<uint32_t> recBlock(c->recs.size());
    std::vector<uint32_t> occStart(static_cast<size_t>(c->wordCount) + 1, 0);
    for (uint32_t b = 0; b < c->blocks.size(); ++b) {
        const Block& blk = c->blocks[b];
        for (uint32_t i = 0; i < blk.members + blk.rels; ++i) {
            recBlock[blk.first + i] = b;
            if (blk.newId >= 0) ++occStart[c->recs[blk.first + i].wordId + 1];
        }
    }
    for (uint32_t w = 0; w < c->wordCount; ++w) occStart[w + 1] += occStart[w];
    std::vector<uint32_t> occ(occStart[c->wordCount]);
    {
        std::vector<uint32_t> fill(occStart.begin(), occStart.end() - 1);
        for (uint32_t ri = 0; ri < c->recs.size(); ++ri)
            if (c->blocks[recBlock[ri]].newId >= 0) occ[fill[c->recs[ri].wordId]++] = ri;
    }
    std::vector<CNETRELENTRY> rels;
    std::vector<uint32_t> groups;
    for (uint32_t w = 0; w < c->wordCount; ++w) {
        const uint8_t sW = c->recs[c->firstRec[w]].strength;
        rels.clear();
        groups.clear();
        for (uint32_t k = occStart[w]; k < occStart[w + 1]; ++k) {
            const uint32_t ri = occ[k];
            const Rec& me = c->recs[ri];
            const Block& blk = c->blocks[recBlock[ri]];
            groups.push_back(static_cast<uint32_t>(blk.newId));
            for (uint32_t j = 0; j < blk.members + blk.rels; ++j) {
                const Rec& o = c->recs[blk.first + j];
                if (o.wordId == w) continue;
                CNETRELENTRY e;
                e.target = o.wordId;
                e.strength = combined(o.strength, sW);
                if (me.member && o.member) {
                    if (blk.rel.category == 0) continue;
                    e.rel = blk.rel;
                } else if (me.member) {
                    e.rel = reversed(o.rel);
                } else if (o.member) {
                    e.rel = me.rel;
                } else {
                    continue;
                }
                rels.push_back(e);
            }
        }
        std::sort(rels.begin(), rels.end(), relLess);
        rels.erase(std::unique(rels.begin(), rels.end(), relEqual), rels.end());
        std::sort(groups.begin(), groups.end());
        groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
        const uint8_t* text = nullptr;
        uint32_t len = 0;
        if (!textOf(c->firstRec[w], &text, &len, st)) return false;
        warnInconsistent(rels, codepage, text, len, opts);
        CNETWORD word;
        std::memset(&word, 0, sizeof word);
        word.text = text;
        word.textLen = len;
        word.groups = groups.data();
        word.groupCount = static_cast<uint32_t>(groups.size());
        word.rels = rels.data();
        word.relCount = static_cast<uint32_t>(rels.size());
        if (!cnetWriteWord(ctl, -1, &word, st)) return false;
        head.maxWordGroups = std::max(head.maxWordGroups, word.groupCount);
        head.maxWordRels = std::max(head.maxWordRels, word.relCount);
    }
    std::vector<CNETGRPENTRY> entries;
    for (const Block& blk : c->blocks) {
        if (blk.newId < 0) continue;
        entries.clear();
        for (uint32_t i = 0; i < blk.members + blk.rels; ++i) {
            const Rec& rr = c->recs[blk.first + i];
            CNETGRPENTRY e;
            e.wordId = rr.wordId;
            e.strength = rr.strength;
            e.rel = rr.rel;
            entries.push_back(e);
        }
        CNETGROUP g;
        std::memset(&g, 0, sizeof g);
        g.rel = blk.rel;
        g.entries = entries.data();
        g.memberCount = blk.members;
        g.relCount = blk.rels;
        if (!cnetWriteGroup(ctl, -1, &g, st)) return false;
        head.groupCount++;
        head.maxGroupMembers = std::max(head.maxGroupMembers, blk.members);
        head.maxGroupRels = std::max(head.maxGroupRels, blk.rels);
    }
    head.wordCount = c->wordCount;
    return cnetWriteHead(ctl, &head, st);
}

// Creates set 1 for writing (the hook is asked for each file first).
bool openSet(CNETCTL* ctl, CNETSTATUS* st) {
    for (const CNETFILE& f : ctl->f) {
        if (cnetFileOpRefused("write", f.name) != 0) {
            cnetSetStatus(st, CNET_RC_OPEN, 741, f.name);
            return false;
        }
    }
    return cnetOpen(ctl, "w+b", st);
}

bool compileMemory(CNETCTL* ctl, const CNETDEFINE* def, uint8_t codepage,
                   const CNETEXEC* opts, CNETSTATUS* st) {
    Compiled c;
    MemText m;
    cnetTimef(opts, "Step1 start...\n");
    auto put = [&m](const uint8_t* text, uint32_t len, uint8_t, CNETREL) {
        m.text.insert(m.text.end(), text, text + len);
        m.off.push_back(static_cast<uint32_t>(m.text.size()));
        return true;
    };
    if (!readBlocks(def, codepage, opts, &c, put, st)) return false;
    cnetTimef(opts, "Step2 start...\n");
    numberWordsMemory(m, &c);
    dropDuplicateBlocks(def, opts, &c);
    cnetTimef(opts, "Step3 start...\n");
    auto textOf = [&m](uint32_t rec, const uint8_t** text, uint32_t* len, CNETSTATUS*) {
        *text = m.text.data() + m.off[rec];
        *len = m.off[rec + 1] - m.off[rec];
        return true;
    };
    return openSet(ctl, st) && writeSet(ctl, codepage, opts, &c, textOf, st) &&
           syncOpenSet(ctl, st);
}

bool compileStore(CNETCTL* ctl, const CNETDEFINE* def, uint8_t codepage,
                  const CNETEXEC* opts, CNETSTATUS* st) {
    Compiled c;
    Store s;
    cnetTimef(opts, "Step1 start...\n");
    // The store is made with the first word (after the definition file
    // opened and its first block read).
    auto put = [&s, ctl, st](const uint8_t* text, uint32_t len, uint8_t strength,
                             CNETREL rel) {
        if (!s.open) {
            s.open = true;
            if (!cnetTmpOpen(&s.t, &ctl->dirs, ctl->dictName, g_settings.runRecords,
                             g_settings.runText, st))
                return false;
        }
        return cnetTmpWrite(&s.t, text, len, strength, rel, st);
    };
    if (!readBlocks(def, codepage, opts, &c, put, st)) return false;
    cnetTimef(opts, "Step2 start...\n");
    if (!numberWordsStore(&s.t, &c, st)) return false;
    dropDuplicateBlocks(def, opts, &c);
    cnetTimef(opts, "Step3 start...\n");
    if (!cnetTmpRewind(&s.t, 'R', st)) return false;
    // The first records of the words come in ascending record order: the
    // store is read on in writing order up to each.
    auto textOf = [&s](uint32_t rec, const uint8_t** text, uint32_t* len, CNETSTATUS* st2) {
        for (;;) {
            TMPREC r;
            bool more = false;
            if (!cnetTmpRead(&s.t, &r, text, &more, st2)) return false;
            if (!more || r.number > rec) {
                cnetSetStatus(st2, CNET_RC_UNEXPECTED, 734);
                return false;
            }
            if (r.number == rec) {
                *len = r.length;
                return true;
            }
        }
    };
    return openSet(ctl, st) && writeSet(ctl, codepage, opts, &c, textOf, st) &&
           syncOpenSet(ctl, st);
}

}  // namespace

void cnetSetCompileSettings(const CnetCompileSettings* settings) {
    if (settings != nullptr)
        g_settings = *settings;
    else
        g_settings = CnetCompileSettings{false, CNET_TMP_RUN_RECORDS, CNET_TMP_RUN_TEXT};
}

bool cnetCreate(const char* dirspec, const char* name, const CNETDEFINE* def,
                uint8_t codepage, const CNETEXEC* opts, CNETSTATUS* st) {
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 740);
        return false;
    }
    bool ok = cnetSetCNETCTL(ctl, dirspec, name, 1, st);
    try {
        if (ok)
            ok = g_settings.inMemory ? compileMemory(ctl, def, codepage, opts, st)
                                     : compileStore(ctl, def, codepage, opts, st);
    } catch (const std::bad_alloc&) {
        cnetSetStatus(st, CNET_RC_MEMORY, 742);
        ok = false;
    }
    cnetClose(ctl, st);
    cnetFreeCNETCTL(ctl);
    // The temporary files go whatever happened (and those a killed
    // compile left).
    CNETDIRS dirs;
    if (cnetSplitDirs(dirspec, name, &dirs, nullptr)) cnetTmpDelete(&dirs, name, st);
    std::free(ctl);
    return ok && !cnetFailed(st);
}
