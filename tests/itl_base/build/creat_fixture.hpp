// Test support for the builder's tests: creation parameters, a creation
// cycle in a temporary directory, and a reader of the level-0 work sections
// that walks their key records and position lists through the storage
// readers (the key file readers, voz_PointVvgSkip / voz_PointPosSkip).
// Header-only.
#ifndef TESTS_ITL_BASE_BUILD_CREAT_FIXTURE_HPP
#define TESTS_ITL_BASE_BUILD_CREAT_FIXTURE_HPP

#include <unistd.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "build/voz_creatwrk.hpp"
#include "build/voz_pattpool.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_records_create.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_pctl.hpp"
#include "postings/voz_posstore.hpp"

namespace creatfix {

#define ASSERT_OK(st) ASSERT_EQ((st).retcode, 0) << "reason " << (st).errcode \
                                                 << " " << (st).errfname1
#define EXPECT_RC(st, rc, ec) EXPECT_EQ(std::make_pair((st).retcode, (st).errcode), \
                                        std::make_pair(int32_t(rc), int32_t(ec)))

// Two-byte units, fixed keys of one unit, sequential position files.
inline GTRCREATEPARM Parm() {
    GTRCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.fixedKeyUnits = 1;
    p.headKeyUnits = 3;
    p.inputUnitWidth = 2;
    p.storedUnitWidth = 2;
    p.codeInfo[0] = 1;
    p.storeParameter = 0;
    return p;
}

// A caller's system parameters: `pool` bytes, no time log.
inline GTRSYSPARM Sys(int32_t pool, int32_t delta = 8192) {
    GTRSYSPARM s;
    memset(&s, 0, sizeof s);
    s.poolsize = pool;
    s.poolsizedelta = delta;
    s.displaylog = 'N';
    return s;
}

// Runs with the current directory set to `dir` (for "GTRSYS").
class InDir {
public:
    explicit InDir(const std::string& dir) {
        char buf[4096];
        m_old = getcwd(buf, sizeof buf) != nullptr ? buf : ".";
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~InDir() { (void)!chdir(m_old.c_str()); }

private:
    std::string m_old;
};

// One creation cycle over index "idx" in <tmp>/out, work files in
// <tmp>/work.
struct Cycle {
    TempDir tmp{"build"};
    std::string out = tmp.path() + "/out";
    std::string work = tmp.path() + "/work";
    CREATWRK* cwp = nullptr;
    int32_t maxDoc = 0;
    GTRSTATUS st{};

    Cycle() {
        mkdir(out.c_str(), 0770);
        mkdir(work.c_str(), 0770);
    }
    ~Cycle() { release(); }
    void start(GTRCREATEPARM p = Parm(), GTRSYSPARM sys = Sys(8192),
               char op = 'N', char mode = 'B') {
        InDir here(tmp.path());  // no "GTRSYS" there
        VOZ_createIndexInit(&cwp, "idx", out.c_str(), nullptr, nullptr,
                            work.c_str(), op, mode, p, &sys, &maxDoc, &st);
    }
    void release() {
        if (cwp != nullptr) voz_CreateIndexReleaseAll(cwp, &st);
        cwp = nullptr;
    }
};

// One document of a key: positions ascending.
using Docs = std::map<int32_t, std::vector<int32_t>>;
// Key text ("D"/"F"/"V" and the key bytes, or "slot<n>") -> documents.
using Lists = std::map<std::string, Docs>;

// One section of level 0 as read back.
struct Section {
    KEYINFO_0 info;
    Lists lists;
    std::vector<std::string> order;    // keys in key-file order
};

// Reads the list of `rec` through the storage readers of `fs`.
inline Docs ReadList(_FCTLHEAD* fs, const KEY_REC& rec, GTRSTATUS* st) {
    Docs d;
    PCTLHEAD p;
    memset(&p, 0, sizeof p);
    voz_InitPctl(&p, &rec, 0, 'N', st);
    for (;;) {
        voz_PointVvgSkip(fs, &p, 0, st);
        if (st->retcode != 0 || p.endOfDocs == 'Y') break;
        std::vector<int32_t>& pos = d[p.curDoc];
        for (;;) {
            voz_PointPosSkip(fs, &p, 0, st);
            if (st->retcode != 0 || p.endOfPos == 'Y') break;
            pos.push_back(p.curPos);
        }
    }
    voz_TermPctl(&p, st);
    return d;
}

inline std::string KeyText(const KEY_REC* recs) {
    std::string t(1, recs[0].kind);
    t.append(reinterpret_cast<const char*>(recs[0].key), 6);
    if (recs[0].kind == 'V' && recs[0].recCount > 1) {
        KEY_CONT c1;
        memcpy(&c1, &recs[1], sizeof c1);
        int total = c1.keyLength;
        for (int i = 1; i < recs[0].recCount; ++i) {
            KEY_CONT c;
            memcpy(&c, &recs[i], sizeof c);
            int n = total - 6 - 22 * (i - 1);
            t.append(reinterpret_cast<const char*>(c.key), n > 22 ? 22 : n);
        }
    }
    return t;
}

// Reads the section of level 0 at key-file offset `keyBase` (the work
// files of index "idx" in `work`).
inline Section ReadSection(const std::string& work, uint64_t keyBase, GTRSTATUS* st) {
    Section s{};
    _FCTLHEAD fs;
    voz_SetFctlForRead(&fs, "idx", work.c_str(), 0, 0, "KPLQ", "Full", st);
    fs.fileType = VOZ_HALF_LEVEL0;
    if (voz_IDXopen(&fs, "rb", st) != 0) return s;
    fs.keyBase = keyBase;
    voz_ReadKeyInfo(&fs, &s.info, 0, nullptr, st);
    std::vector<KEY_REC> recs(255);
    int32_t total = static_cast<int32_t>(s.info.fixedRecords + s.info.varRecords);
    for (int32_t r = 0; r < total && st->retcode == 0;) {
        voz_ReadKey(&fs, recs.data(), r, st);
        if (st->retcode != 0) break;
        std::string k = KeyText(recs.data());
        s.order.push_back(k);
        s.lists[k] = ReadList(&fs, recs[0], st);
        r += recs[0].kind == 'V' ? recs[0].recCount : 1;
    }
    for (int slot = 0; slot < VOZ_KEY_SLOTS; ++slot) {
        const KEY_REC& k = s.info.slots[slot];
        if (k.dataLength == 0) continue;
        s.lists["slot" + std::to_string(slot)] = ReadList(&fs, k, st);
    }
    voz_IDXclose(&fs, st);
    return s;
}

// The key-file offsets of the level-0 sections of a cycle.
inline std::vector<uint64_t> SectionBases(const CREATWRK* cwp) {
    std::vector<uint64_t> b;
    const MCTLINFO& l0 = cwp->levels[0];
    for (uint16_t i = 0; i < l0.numSections; ++i) b.push_back(l0.sections[i].idx.keyBase);
    return b;
}

}  // namespace creatfix

#endif  // TESTS_ITL_BASE_BUILD_CREAT_FIXTURE_HPP
