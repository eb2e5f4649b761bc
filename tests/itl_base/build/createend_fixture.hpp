// Test support for the end of creation: a reproducible random corpus fed
// into a cycle, whole cycles (init, feed, last, term), and a reader of a
// committed half ("main" or "supp") through the storage readers.
// Header-only.
#ifndef TESTS_ITL_BASE_BUILD_CREATEEND_FIXTURE_HPP
#define TESTS_ITL_BASE_BUILD_CREATEEND_FIXTURE_HPP

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "creat_fixture.hpp"
#include "build/voz_createend.hpp"

#define EXPECT_OK(st) EXPECT_EQ((st).retcode, 0) << "reason " << (st).errcode << " " \
                                                 << (st).errfname1

namespace endfix {

using namespace creatfix;

// One occurrence of the corpus.
struct Occ {
    char kind;            // ')' key, '+' key without postings, '&' end
    std::string bytes;    // key bytes
    int32_t units;        // 'V' length in units, 0 for fixed keys
    int32_t doc, pos;
};

// Documents first..first+count-1 of a corpus made from `seed`: fixed keys
// of one unit, variable keys of 1-20 units, some '+' keys, a '&' record.
inline std::vector<Occ> Corpus(uint32_t seed, int32_t first, int32_t count, int perDoc) {
    std::mt19937 rng(seed);
    std::vector<Occ> out;
    for (int32_t d = first; d < first + count; ++d) {
        int32_t pos = 1;
        int n = 1 + static_cast<int>(rng() % static_cast<uint32_t>(perDoc));
        for (int i = 0; i < n; ++i) {
            pos += 1 + static_cast<int32_t>(rng() % 2);
            uint32_t what = rng() % 20;
            if (what < 10) {
                std::string u = {static_cast<char>('a' + rng() % 12), 0};
                out.push_back({')', u, 0, d, pos});
            } else if (what < 19) {
                int units = 1 + static_cast<int>(rng() % 20);
                std::string b;
                for (int k = 0; k < units; ++k) {
                    b += static_cast<char>('A' + rng() % 3);
                    b += 'x';
                }
                out.push_back({')', b, units, d, pos});
            } else {
                std::string u = {'+', static_cast<char>('0' + rng() % 3)};
                out.push_back({'+', u, 1, d, pos});
            }
        }
        out.push_back({'&', "", 0, d, pos});
    }
    return out;
}

inline void Feed(CREATWRK* cwp, const std::vector<Occ>& occ, GTRSTATUS* st) {
    for (const Occ& o : occ) {
        if (st->retcode != 0) return;
        const uint8_t* p = reinterpret_cast<const uint8_t*>(o.bytes.data());
        VOZ_pattPool(cwp, o.kind, o.kind == '&' ? nullptr : p, o.doc, o.pos, o.units, st);
    }
}

// What the committed index must hold for `occ`: positions per key and
// document (a repeat once), keys without postings with no documents, the
// document list in slot 38.
inline Lists ModelOf(const std::vector<Occ>& occ) {
    Lists m;
    for (const Occ& o : occ) {
        std::string k;
        if (o.kind == '&') {
            k = "slot38";
        } else {
            k = std::string(1, o.units > 0 ? 'V' : 'F') + o.bytes;
            if (k.size() < 7) k.resize(7, '\0');
        }
        if (o.kind == '+') {
            m[k];
            continue;
        }
        std::vector<int32_t>& pos = m[k][o.doc];
        if (std::find(pos.begin(), pos.end(), o.pos) == pos.end()) pos.push_back(o.pos);
    }
    for (auto& [key, docs] : m)
        for (auto& [doc, pos] : docs) std::sort(pos.begin(), pos.end());
    return m;
}

// The first difference of two sets of postings, for failure messages.
inline std::string FirstDiff(const Lists& got, const Lists& want) {
    auto show = [](const std::string& k) {
        std::string s;
        for (char c : k) s += c >= 0x20 && c < 0x7F ? std::string(1, c) : "\\" + std::to_string(uint8_t(c));
        return s;
    };
    for (auto& [k, d] : want) {
        auto it = got.find(k);
        if (it == got.end()) return "missing key " + show(k);
        if (it->second == d) continue;
        for (auto& [doc, pos] : d) {
            auto g = it->second.find(doc);
            if (g == it->second.end()) return "key " + show(k) + " lacks document " + std::to_string(doc);
            if (g->second != pos)
                return "key " + show(k) + " document " + std::to_string(doc) + ": " +
                       std::to_string(g->second.size()) + " positions, want " +
                       std::to_string(pos.size());
        }
        return "key " + show(k) + " has extra documents";
    }
    for (auto& [k, d] : got)
        if (want.count(k) == 0) return "extra key " + show(k);
    return "";
}

// The union of two halves' postings.
inline Lists Union(const Lists& a, const Lists& b) {
    Lists u = a;
    for (auto& [key, docs] : b)
        for (auto& [doc, pos] : docs) u[key][doc] = pos;
    for (auto& [key, docs] : b) u[key];
    return u;
}

// A committed half read back.
struct Half {
    bool exists = false;
    KEYINFO_0 info{};
    Lists lists;                       // key text or "slot<n>" -> postings
    std::vector<std::string> order;
};

inline _FCTLHEAD HalfSet(const std::string& out, int half, int set = 0) {
    _FCTLHEAD fs;
    GTRSTATUS st{};
    voz_SetFctlForRead(&fs, "idx", out.c_str(), half, set, "KPLQ", "Full", &st);
    fs.flags |= VOZ_FCTL_TAKE_FLAGS;
    return fs;
}

inline Half ReadHalf(const std::string& out, int half, GTRSTATUS* st) {
    Half h;
    _FCTLHEAD fs = HalfSet(out, half);
    if (voz_IDXqueryExistence(&fs, &h.info, st) != VOZ_EXISTS) return h;
    h.exists = true;
    if ((h.info.indexFlags & VOZ_IDXFLAG_BTREE) != 0) fs.flags |= VOZ_FCTL_BTREE;
    if (voz_IDXopen(&fs, "rb", st) != 0) return h;
    std::vector<KEY_REC> recs(255);
    int32_t total = static_cast<int32_t>(h.info.fixedRecords + h.info.varRecords);
    for (int32_t r = 0; r < total && st->retcode == 0;) {
        voz_ReadKey(&fs, recs.data(), r, st);
        if (st->retcode != 0) break;
        std::string k = KeyText(recs.data());
        h.order.push_back(k);
        h.lists[k] = ReadList(&fs, recs[0], st);
        r += recs[0].kind == 'V' ? recs[0].recCount : 1;
    }
    for (int slot = 0; slot < VOZ_KEY_SLOTS; ++slot) {
        const KEY_REC& k = h.info.slots[slot];
        if (k.dataLength == 0) continue;
        h.lists["slot" + std::to_string(slot)] = ReadList(&fs, k, st);
    }
    voz_IDXclose(&fs, st);
    return h;
}

// Names in a directory (without "." and "..").
inline std::vector<std::string> DirNames(const std::string& dir) {
    std::vector<std::string> n;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return n;
    while (dirent* e = readdir(d)) {
        std::string s = e->d_name;
        if (s != "." && s != "..") n.push_back(s);
    }
    closedir(d);
    std::sort(n.begin(), n.end());
    return n;
}

inline bool PathThere(const std::string& p) {
    struct stat sb;
    return stat(p.c_str(), &sb) == 0;
}

inline std::string FilePath(const std::string& out, int half, uint16_t type) {
    _FCTLHEAD fs = HalfSet(out, half);
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, &fs, type);
    return name;
}

// One whole cycle over index "idx" in `out`: init, feed, last, term.
// `maxSections` above 0 lowers every level's capacity. The status of the
// first failing call is returned; `lastOk` false stops before term.
struct RunResult {
    GTRSTATUS st{};
    int32_t maxDoc = 0;
    int levels = 0;
};

// Starts a cycle over index "idx" in `out` with "GTRSYS" looked for in
// `work` (there is none); null with the status on failure.
inline CREATWRK* StartCycle(const std::string& out, const std::string& work, char op,
                            GTRCREATEPARM p, GTRSYSPARM sys, GTRSTATUS* st,
                            int32_t* maxDoc = nullptr, char mode = 'B') {
    CREATWRK* cwp = nullptr;
    int32_t md = 0;
    InDir here(work);
    VOZ_createIndexInit(&cwp, "idx", out.c_str(), nullptr, nullptr, work.c_str(), op, mode, p,
                        &sys, maxDoc != nullptr ? maxDoc : &md, st);
    return cwp;
}

inline RunResult RunCycle(const std::string& out, const std::string& work, char op,
                     const std::vector<Occ>& occ, GTRCREATEPARM p, GTRSYSPARM sys,
                     char term = 'G', int maxSections = 0, char mode = 'B') {
    RunResult r;
    CREATWRK* cwp = StartCycle(out, work, op, p, sys, &r.st, &r.maxDoc, mode);
    if (r.st.retcode != 0) return r;
    if (maxSections > 0) cwp->levels[0].maxSections = static_cast<int16_t>(maxSections);
    Feed(cwp, occ, &r.st);
    if (r.st.retcode == 0) VOZ_createIndexLast(cwp, &r.st);
    r.levels = cwp->levelsInUse;
    GTRSTATUS t{};
    VOZ_createIndexTerm(cwp, r.st.retcode == 0 ? term : 'C', &t);
    if (r.st.retcode == 0) r.st = t;
    return r;
}

}  // namespace endfix

#endif  // TESTS_ITL_BASE_BUILD_CREATEEND_FIXTURE_HPP
