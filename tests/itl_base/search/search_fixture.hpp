// Test support for the search's tests: index file sets written the way the
// builder writes them, through the storage's own writers only (key-file
// header, key records, the sequential position file, the header slots 38
// (document list) and 40 (VVG key), the key-index table), an in-memory
// model of their postings, and small helpers for answer sets and words.
// Header-only; every function is inline.
#ifndef TESTS_ITL_BASE_SEARCH_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_FIXTURE_HPP

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine_test_util.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_records.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_search.hpp"
#include "search/voz_searchrec.hpp"

namespace srchfix {

#define ASSERT_OK(st) \
    ASSERT_EQ((st).retcode, 0) << "errcode " << (st).errcode << " " << (st).errfname1
#define EXPECT_RC(st, rc, ec)            \
    do {                                 \
        EXPECT_EQ((st).retcode, (rc));   \
        EXPECT_EQ((st).errcode, (ec));   \
    } while (0)

// One document's positions.
struct Doc {
    uint32_t id;
    std::vector<uint32_t> pos;
};
using List = std::vector<Doc>;
inline uint32_t docIdOf(const Doc& d) { return d.id; }
inline const std::vector<uint32_t>& positionsOf(const Doc& d) { return d.pos; }

// One fixed key: 6 key bytes, its postings; noPostings writes a key record
// of level 0x10 and length 0.
struct Key {
    std::string bytes;  // up to 6 bytes, zero-padded
    List list;
    bool noPostings = false;
    char kind = VOZ_KIND_FIXED;
};

// One file set.
struct SetSpec {
    std::vector<Key> keys;          // any order; written sorted
    std::vector<uint32_t> docs;     // the document list (slot 38)
    uint32_t varKeys = 0;           // header words 56 and 76
    uint32_t filteredVarKeys = 0;
    bool keyIndex = true;           // build the key-index table
};

inline std::array<uint8_t, 6> key6(const std::string& s) {
    std::array<uint8_t, 6> k{};
    memcpy(k.data(), s.data(), std::min<size_t>(6, s.size()));
    return k;
}

inline _FCTLHEAD setOf(const std::string& dir, const std::string& name,
                       int half, int set, const char* letters = "KPLQ",
                       const char* prefix = "Full") {
    _FCTLHEAD fs;
    GTRSTATUS st{};
    voz_SetFctlForRead(&fs, name.c_str(), dir.c_str(), half, set, letters,
                       prefix, &st);
    return fs;
}

// Writes one file set of index `name` in `dir`; fileType is the half kind
// (0 main, 1 supp, 2 "#main", 3 "#supp").
inline void writeSet(const std::string& dir, const std::string& name,
                     int fileType, int set, const SetSpec& spec,
                     GTRSTATUS& st, const char* letters = "KPLQ",
                     const char* prefix = "Full") {
    _FCTLHEAD fs = setOf(dir, name, fileType & 1, set, letters, prefix);
    fs.fileType = fileType;
    vozCreateIndexDirectory(&fs, &st);
    voz_IDXopen(&fs, "wb+", &st);
    KEYINFO_0 info{};
    memcpy(info.version, "V4_0", 4);
    info.fixedKeyUnits = 3;
    info.unitWidth = 2;
    info.codeInfo[0] = 7;
    voz_WriteKeyInfo(&fs, &info, &st);
    std::vector<Key> keys = spec.keys;
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        if ((a.kind == VOZ_KIND_DFIXED) != (b.kind == VOZ_KIND_DFIXED))
            return a.kind == VOZ_KIND_DFIXED;
        return key6(a.bytes) < key6(b.bytes);
    });
    auto writeList = [&](const List& l, KEY_REC& rec) {
        std::vector<uint8_t> bytes = encodePositionList(l);
        voz_fseek_POSFILE(&fs, -1, &st);
        rec.location = static_cast<uint32_t>(fs.posOffset);
        rec.dataLength = static_cast<uint32_t>(bytes.size());
        rec.docCount = static_cast<uint32_t>(l.size());
        rec.lastDoc = l.empty() ? 0xFFFFFFFFu : l.back().id;
        if (!bytes.empty())
            voz_fwrite_POSFILE(bytes.data(), static_cast<int32_t>(bytes.size()),
                               &fs, &st);
    };
    for (const Key& k : keys) {
        KEY_REC rec{};
        rec.kind = k.kind;
        rec.recCount = 1;
        auto b = key6(k.bytes);
        memcpy(rec.key, b.data(), 6);
        if (k.noPostings) {
            rec.level = 0x10;
            rec.location = 0xFFFFFFFFu;
            rec.lastDoc = 0xFFFFFFFFu;
        } else {
            writeList(k.list, rec);
        }
        voz_WriteKey(&fs, &info, &rec, 255, nullptr, &st);
    }
    if (!spec.docs.empty()) {
        List l;
        for (uint32_t d : spec.docs) l.push_back({d, {1}});
        KEY_REC rec{};
        rec.kind = VOZ_KIND_FIXED;
        rec.recCount = 1;
        writeList(l, rec);
        voz_WriteKey(&fs, &info, &rec, 38, nullptr, &st);
        info.docCount = static_cast<uint32_t>(spec.docs.size());
    }
    // Only the counts decide whether the X-index is opened; no variable
    // key records are written.
    info.varKeys = spec.varKeys;
    info.varRecords = spec.varKeys;
    info.filteredVarKeys = spec.filteredVarKeys;
    voz_WriteKeyInfo(&fs, &info, &st);
    voz_IDXclose(&fs, &st);
    if (spec.keyIndex && st.retcode == 0) voz_WriteKeyInfo2(&fs, &st);
}

// The model of a set's keys: the sorted union of their postings, each
// (document, position) once.
inline std::vector<std::pair<uint32_t, uint32_t>> unionOf(
    const std::vector<const List*>& lists) {
    std::set<std::pair<uint32_t, uint32_t>> all;
    for (const List* l : lists)
        for (const Doc& d : *l)
            for (uint32_t p : d.pos) all.insert({d.id, p});
    return {all.begin(), all.end()};
}

// Opens the text half of index `name` in `dir`.
inline VOZSEARCH* openText(const std::string& dir, const std::string& name,
                           GTRSTATUS& st, const char* temp = nullptr,
                           VOZSEARCH* reuse = nullptr) {
    VOZSEARCH* h = reuse;
    GTRCREATEPARM p1{}, p2{};
    VOZ_SearchOpen_(&h, name.c_str(), dir.c_str(), "KPLQ", "MRNS", "Full",
                    "Item", temp, &p1, &p2, VOZ_HALF_TEXT, &st, 0);
    return h;
}

inline OCC occ(int32_t doc, int32_t pos, uint16_t len = 1, int16_t node = 0) {
    OCC o{};
    o.docno = doc;
    o.pos = pos;
    o.len = len;
    o.weight = 1;
    o.match = 100;
    o.node = node;
    return o;
}

inline bool sameOcc(const OCC& a, const OCC& b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

// A memory result descriptor.
inline GTRSEARCH_RES memRes(int32_t budget = 0) {
    GTRSEARCH_RES r{};
    r.res_type = GTR_RES_HANDLE;
    r.res_dataform = 1;
    r.res_handle_memory = budget;
    return r;
}

inline GTRSEARCH_RES fileRes(uint8_t type, uint8_t form,
                             const std::string& name) {
    GTRSEARCH_RES r{};
    r.res_type = type;
    r.res_dataform = form;
    snprintf(r.res_fname, sizeof r.res_fname, "%s", name.c_str());
    return r;
}

// Writes `docs` (each a run of occurrences of one document) into a fresh
// answer set for `res` and hands it over.
inline void buildResult(GTRSEARCH_RES& res, const std::vector<std::vector<OCC>>& docs,
                        const char* temp, GTRSTATUS& st) {
    ANSWERFORM* a = new ANSWERFORM();
    voz_OpenAnswer(a, temp, 0, &res, nullptr, nullptr, &st);
    for (auto d : docs) voz_WriteOcc(d.data(), static_cast<int32_t>(d.size()), a, &st);
    voz_CloseAnswer(a, &st);
    if (st.retcode == 0) voz_SetAnswer(a, &res, nullptr, 0, &st);
    if (st.retcode == 0 && !a->outOfOrder) res.res_flag |= 0x80;
    res.result_docnum = a->docCount;
    res.result_occnum = a->occCount;
    voz_ReleaseAnswer(a);
    delete a;
}

inline bool pathExists(const std::string& p) {
    struct stat sb;
    return stat(p.c_str(), &sb) == 0;
}

}  // namespace srchfix

#endif  // TESTS_ITL_BASE_SEARCH_FIXTURE_HPP
