// Test support for the position store's tests (posstore, posstore_crash,
// poslevel, idxset): position lists in the engine's encoding, an in-memory
// model of an index's lists, and an index directory updated in rounds the
// way the builder does it, through the position store's function
// interface only.  Header-only; every function is inline.
#ifndef TESTS_ITL_BASE_POSSTORE_FIXTURE_HPP
#define TESTS_ITL_BASE_POSSTORE_FIXTURE_HPP

#include <gtest/gtest.h>

#include "engine_test_util.hpp"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "files/voz_bigendian.hpp"
#include "postings/voz_bufferpos.hpp"
#include "files/voz_deldocs.hpp"
#include "postings/voz_idxset.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keywrite.hpp"
#include "postings/voz_posbroker.hpp"
#include "postings/voz_posstore.hpp"

namespace posfix {


struct Doc {
    uint32_t id;
    std::vector<int32_t> pos;
    bool operator==(const Doc& o) const { return id == o.id && pos == o.pos; }
};
using List = std::vector<Doc>;
using Model = std::map<uint32_t, List>;  // key number -> list

inline uint32_t docIdOf(const Doc& d) { return d.id; }
inline const std::vector<int32_t>& positionsOf(const Doc& d) { return d.pos; }

// The encoded stream of a list (the reference encoder of the layout).
inline std::vector<uint8_t> Encode(const List& l) { return encodePositionList(l); }

// A list of about `bytes` encoded bytes; documents from `first` on.
inline List MakeList(std::mt19937& rng, size_t bytes, uint32_t first,
              uint32_t maxPerDoc = 40) {
    List l;
    uint32_t id = first;
    size_t size = 0;
    while (size < bytes || l.empty()) {
        Doc d{id, {}};
        uint32_t n = 1 + rng() % maxPerDoc;
        int32_t p = static_cast<int32_t>(rng() % 50);
        for (uint32_t i = 0; i < n; ++i) {
            d.pos.push_back(p);
            p += 1 + static_cast<int32_t>(rng() % (rng() % 8 == 0 ? 20000 : 60));
        }
        size += Encode({d}).size();
        l.push_back(d);
        id += 1 + rng() % (rng() % 16 == 0 ? 70000 : 30);
    }
    return l;
}

inline void SetKey(KEY_REC& k, uint32_t key) {
    memset(&k, 0, sizeof k);
    k.kind = VOZ_KIND_FIXED;
    k.recCount = 1;
    k.key[0] = 'k';
    voz_putBE32(k.key + 1, key);
}

inline uint32_t KeyOf(const KEY_REC& k) { return voz_getBE32(k.key + 1); }

// The path of file `type` of a file set.
inline std::string Name(const _FCTLHEAD& fs, uint16_t type) {
    char n[VOZ_FNAME_LEN];
    voz_IDXgetFname(n, &fs, type);
    return n;
}

#define ASSERT_OK(st) ASSERT_EQ((st).retcode, 0) << "reason " << (st).errcode \
                                                 << " " << (st).errfname1

// One index directory with a main half, updated in rounds the way the
// builder does: the new half "#main" is made (a copy of main), the lists
// are merged into it, its key file is rewritten, and the switch of "#main"
// over "main" is the commit.
class IndexFixture {
public:
    IndexFixture(const std::string& dir, bool btree) : m_dir(dir), m_btree(btree) {}

    _FCTLHEAD Set(int type, const std::string& dir) const {
        _FCTLHEAD f;
        GTRSTATUS st{};
        voz_SetFctlForRead(&f, "idx", dir.c_str(), 0, 0, "KPLQ", "Full", &st);
        f.fileType = type;
        if (m_btree) {
            f.flags = VOZ_FCTL_BTREE;
            f.sharedBlockKB = f.branchBlockKB = f.leafBlockKB = 16;
        }
        return f;
    }

    // Writes `batch` as a sequential source set; fills one key record each.
    void WriteSource(_FCTLHEAD& s, const Model& batch,
                     std::map<uint32_t, KEY_REC>& recs, GTRSTATUS& st) {
        vozCreateIndexDirectory(&s, &st);
        voz_IDXopen(&s, "wb+", &st);
        for (const auto& [key, list] : batch) {
            std::vector<uint8_t> bytes = Encode(list);
            voz_fseek_POSFILE(&s, -1, &st);
            KEY_REC k;
            SetKey(k, key);
            k.location = static_cast<uint32_t>(s.posOffset);
            k.dataLength = static_cast<uint32_t>(bytes.size());
            k.docCount = static_cast<uint32_t>(list.size());
            k.lastDoc = list.empty() ? 0xFFFFFFFFu : list.back().id;
            voz_fwrite_POSFILE(bytes.data(), static_cast<int32_t>(bytes.size()),
                               &s, &st);
            recs[key] = k;
        }
    }

    // The key records of the committed main half (empty when none).
    std::map<uint32_t, KEY_REC> ReadKeys(GTRSTATUS& st) {
        std::map<uint32_t, KEY_REC> out;
        _FCTLHEAD m = Set(0, m_dir);
        if (voz_IDXqueryExistence(&m, nullptr, &st) != VOZ_EXISTS) return out;
        KEYINFO_0 info;
        voz_IDXopenKey(&m, "rb", &st);
        voz_ReadKeyInfo(&m, &info, 0, nullptr, &st);
        for (uint32_t r = 0; r < info.fixedRecords && st.retcode == 0; ++r) {
            KEY_REC k[2];
            voz_ReadKey(&m, k, static_cast<int32_t>(r), &st);
            out[KeyOf(k[0])] = k[0];
        }
        voz_IDXcloseKey(&m, &st);
        return out;
    }

    // Applies one round: new documents of `batch`, deletions `del`.  With
    // `commit` false the round stops before the switch (as if killed).
    void Round(const Model& batch, const std::vector<uint32_t>& del,
               GTRSTATUS& st, bool commit = true) {
        std::map<uint32_t, KEY_REC> old = ReadKeys(st);
        std::string srcPath = m_dir + "/src";
        voz_RemoveTree(srcPath.c_str());
        _FCTLHEAD s = Set(0, srcPath);
        s.flags = 0;
        std::map<uint32_t, KEY_REC> src;
        WriteSource(s, batch, src, st);
        _FCTLHEAD m = Set(0, m_dir), n = Set(2, m_dir);
        bool first = old.empty() && voz_IDXqueryExistence(&m, nullptr, &st) !=
                                        VOZ_EXISTS;
        if (first) {
            vozCreateIndexDirectory(&n, &st);
            if (m_btree) vozCreateFirstIndex(&n, &st);
        } else {
            voz_IDXcopy(&m, &n, &st);
        }
        voz_IDXopen(&n, first ? "wb+" : "rb+", &st);
        _FCTLHEAD halves[2] = {n, n};
        halves[0].deletedDocs = vozAllocateDeletedDocs(nullptr, 1, &st);
        halves[1].deletedDocs = vozAllocateDeletedDocs(nullptr, 1, &st);
        VOZ_deleteDocs(halves, static_cast<uint32_t>(del.size()), del.data(),
                       &st);
        n.deletedDocs = halves[0].deletedDocs;
        KEYINFO_0 info{};
        memcpy(info.version, "V4_0", 4);
        info.indexFlags = m_btree ? VOZ_IDXFLAG_BTREE : 0;
        info.sharedBlockKB = info.branchBlockKB = info.leafBlockKB = 16;
        voz_WriteKeyInfo(&n, &info, &st);
        std::set<uint32_t> keys;
        for (auto& [k, r] : old) keys.insert(k);
        for (auto& [k, r] : src) keys.insert(k);
        std::unique_ptr<MCTLHEAD> tgt(new MCTLHEAD()), in(new MCTLHEAD());
        tgt->idx = n;
        in->idx = s;
        uint64_t counter = 0;
        for (uint32_t key : keys) {
            if (st.retcode != 0) break;
            tgt->holdsKey = old.count(key) ? 'Y' : 'N';
            if (old.count(key)) tgt->curKey[0] = old[key];
            in->holdsKey = src.count(key) ? 'Y' : 'N';
            if (src.count(key)) in->curKey[0] = src[key];
            KEY_REC out;
            SetKey(out, key);
            if (!m_btree) out.level = 0;
            vozMergeMerge(tgt.get(), in.get(), &out, 1, &counter, &st);
            if (st.retcode == 0) voz_WriteKey(&n, &info, &out, 255, nullptr, &st);
        }
        voz_WriteKeyInfo(&n, &info, &st);
        vozFreeDeletedDocs(halves[0].deletedDocs, nullptr, &st);
        vozFreeDeletedDocs(halves[1].deletedDocs, nullptr, &st);
        voz_IDXclose(&n, &st);
        voz_IDXclose(&s, &st);
        voz_RemoveTree(srcPath.c_str());
        if (commit && st.retcode == 0) voz_IDXswitchDir(&n, &m, &st);
    }

    // Reads every list of the committed main half through the interface
    // and checks the key records' counts against the lists.
    Model ReadAll(GTRSTATUS& st, std::string* problem = nullptr) {
        Model out;
        std::map<uint32_t, KEY_REC> keys = ReadKeys(st);
        _FCTLHEAD m = Set(0, m_dir);
        m.flags = VOZ_FCTL_TAKE_FLAGS;
        if (keys.empty() || voz_IDXopen(&m, "rb", &st) != 0) return out;
        for (auto& [key, rec] : keys) {
            PCTLHEAD p{};
            voz_InitPctl(&p, &rec, 0, 'N', &st);
            List l;
            for (;;) {
                voz_PointVvgSkip(&m, &p, 0, &st);
                if (st.retcode != 0 || p.endOfDocs == 'Y') break;
                Doc d{static_cast<uint32_t>(p.curDoc), {}};
                for (;;) {
                    voz_PointPosSkip(&m, &p, 0, &st);
                    if (st.retcode != 0 || p.endOfPos == 'Y') break;
                    d.pos.push_back(p.curPos);
                }
                l.push_back(d);
            }
            voz_TermPctl(&p, &st);
            if (problem != nullptr && problem->empty() &&
                (rec.docCount != l.size() ||
                 rec.lastDoc != (l.empty() ? 0xFFFFFFFFu : l.back().id))) {
                *problem = "key " + std::to_string(key) + " record count " +
                           std::to_string(rec.docCount) + " list " +
                           std::to_string(l.size());
            }
            if (!l.empty()) out[key] = l;
        }
        voz_IDXclose(&m, &st);
        return out;
    }

    // Skips inside every list with random targets and compares with the
    // model's answer: the first document behind the current one at or
    // above the target, the first position behind the current at or above
    // its target.
    void SkipAll(const Model& model, std::mt19937& rng, GTRSTATUS& st) {
        std::map<uint32_t, KEY_REC> keys = ReadKeys(st);
        _FCTLHEAD m = Set(0, m_dir);
        m.flags = VOZ_FCTL_TAKE_FLAGS;
        ASSERT_EQ(voz_IDXopen(&m, "rb", &st), 0);
        for (auto& [key, list] : model) {
            PCTLHEAD p{};
            voz_InitPctl(&p, &keys[key], 0, 'N', &st);
            size_t at = 0;
            bool started = false;
            for (;;) {
                uint32_t target = static_cast<uint32_t>(
                    rng() % 2 ? 0 : list[std::min(list.size() - 1,
                                                   at + rng() % 5)].id + rng() % 3);
                voz_PointVvgSkip(&m, &p, target, &st);
                ASSERT_OK(st);
                size_t want = started ? at + 1 : 0;
                while (want < list.size() && list[want].id < target) ++want;
                if (want >= list.size()) {
                    ASSERT_EQ(p.endOfDocs, 'Y') << "key " << key;
                    ASSERT_EQ(p.curDoc, 0x7FFFFFFF);
                    break;
                }
                ASSERT_EQ(static_cast<uint32_t>(p.curDoc), list[want].id)
                    << "key " << key << " target " << target;
                at = want;
                started = true;
                const std::vector<int32_t>& pos = list[at].pos;
                size_t pi = 0;
                bool pstarted = false;
                for (int i = 0; i < 3; ++i) {
                    int32_t t = rng() % 2 ? 0 : pos[std::min(pos.size() - 1,
                                                             pi + rng() % 4)];
                    voz_PointPosSkip(&m, &p, t, &st);
                    size_t pw = pstarted ? pi + 1 : 0;
                    while (pw < pos.size() && pos[pw] < t) ++pw;
                    if (pw >= pos.size()) {
                        ASSERT_EQ(p.endOfPos, 'Y');
                        break;
                    }
                    ASSERT_EQ(p.curPos, pos[pw]) << "key " << key;
                    pi = pw;
                    pstarted = true;
                }
            }
            voz_TermPctl(&p, &st);
        }
        voz_IDXclose(&m, &st);
    }

private:
    std::string m_dir;
    bool m_btree;
};

// Applies a round to the model: deletions drop old documents, new
// documents join; a document in both gets the old positions, then the new.
inline void ApplyToModel(Model& model, const Model& batch,
                  const std::vector<uint32_t>& del) {
    std::set<uint32_t> gone(del.begin(), del.end());
    std::set<uint32_t> keys;
    for (auto& [k, l] : model) keys.insert(k);
    for (auto& [k, l] : batch) keys.insert(k);
    for (uint32_t k : keys) {
        std::map<uint32_t, std::vector<int32_t>> docs;
        for (const Doc& d : model[k]) {
            if (!gone.count(d.id)) docs[d.id] = d.pos;
        }
        if (batch.count(k)) {
            for (const Doc& d : batch.at(k)) {
                auto& p = docs[d.id];
                p.insert(p.end(), d.pos.begin(), d.pos.end());
            }
        }
        List l;
        for (auto& [id, p] : docs) l.push_back({id, p});
        if (l.empty()) {
            model.erase(k);
        } else {
            model[k] = l;
        }
    }
}

// New documents for a round: fresh lists for some keys, additions to
// others (shared documents get positions above the old ones).
inline Model MakeBatch(std::mt19937& rng, const Model& model,
                const std::vector<size_t>& sizes, uint32_t firstKey,
                bool shareDocs = true) {
    Model batch;
    for (size_t i = 0; i < sizes.size(); ++i) {
        uint32_t key = firstKey + static_cast<uint32_t>(i) * 3;
        List l = MakeList(rng, sizes[i], rng() % 40);
        if (model.count(key)) {
            std::map<uint32_t, int32_t> oldMax;
            for (const Doc& d : model.at(key)) oldMax[d.id] = d.pos.back();
            for (Doc& d : l) {
                if (!oldMax.count(d.id)) continue;
                for (int32_t& p : d.pos) p += oldMax[d.id] + 1;
            }
            if (!shareDocs) {
                // A B-tree takes only documents new to the list.
                l.erase(std::remove_if(l.begin(), l.end(),
                                       [&](const Doc& d) {
                                           return oldMax.count(d.id) > 0;
                                       }),
                        l.end());
            }
        }
        batch[key] = l;
    }
    return batch;
}

inline std::vector<uint32_t> PickDeletions(std::mt19937& rng, const Model& model,
                                    double share) {
    std::set<uint32_t> ids;
    for (auto& [k, l] : model) {
        for (const Doc& d : l) {
            if ((rng() % 1000) < share * 1000) ids.insert(d.id);
        }
    }
    ids.insert(123456789);  // never present
    return {ids.begin(), ids.end()};
}

}  // namespace posfix

#endif  // TESTS_ITL_BASE_POSSTORE_FIXTURE_HPP
