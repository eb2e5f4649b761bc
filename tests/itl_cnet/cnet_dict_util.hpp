// Helpers of the thesaurus compile and lookup tests: compile a definition
// text, look terms up, normalise words through the engine, and read a
// dictionary's four live files.
#ifndef TESTS_ITL_CNET_CNET_DICT_UTIL_HPP
#define TESTS_ITL_CNET_CNET_DICT_UTIL_HPP

#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_wordcalls.hpp"
#include "cnet_test_util.hpp"
#include "files/voz_status.hpp"
#include "ti_test_util.hpp"
#include "voz_cnet.h"

namespace cdict {

// Compiles `text` (written to <dir>/<name>.def) into dictionary `name`.
inline CNETSTATUS compile(const std::string& dir, const std::string& name,
                          const std::string& text, uint8_t codepage = 8,
                          uint16_t flags = CNET_EXEC_REPLACE) {
    std::string def = dir + "/" + name + ".def";
    writeFile(def, text);
    CNETDEFINE d;
    std::memset(&d, 0, sizeof d);
    d.kind = CNET_DEFINE_KIND_FILE;
    d.fileName = def.c_str();
    CNETATTRI a;
    std::memset(&a, 0, sizeof a);
    a.codepage = codepage;
    CNETEXEC o;
    std::memset(&o, 0, sizeof o);
    o.flags = flags;
    CNETSTATUS st;
    vozCNETregist(dir.c_str(), name.c_str(), &d, &a, &o, nullptr, &st);
    return st;
}

struct Found {
    std::string term;
    uint32_t depth;
    uint32_t strength;
    uint32_t kind;
    uint32_t number;
    int64_t parent;
    bool operator==(const Found& o) const {
        return term == o.term && depth == o.depth && strength == o.strength &&
               kind == o.kind && number == o.number && parent == o.parent;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Found& f) {
    return os << f.term << " d" << f.depth << " s" << f.strength << " k" << f.kind << "/"
              << f.number << " p" << f.parent;
}

struct Lookup {
    uint8_t types = CNET_TYPE_SYNONYM | CNET_TYPE_RELATED | CNET_TYPE_HIGHER |
                    CNET_TYPE_LOWER;
    uint8_t userKinds = 0x70;
    std::vector<CNETUSERREL> users;
    uint32_t limit = 100;
    uint32_t depth = 10;
    uint8_t minStrength = 0;
    bool noBase = false;
    void* handle = nullptr;
    ~Lookup() {
        CNETSTATUS st;
        vozCNETrefer_Release(&handle, &st);
    }
    // Runs the lookup of `term`; the records into *out.
    CNETSTATUS run(const std::string& dir, const std::string& name, const std::string& term,
                   std::vector<Found>* out) {
        CNETBASE b;
        std::memset(&b, 0, sizeof b);
        std::memcpy(b.term, term.data(), std::min<size_t>(term.size(), 64));
        b.length = static_cast<uint16_t>(term.size());
        b.precision = 100;
        CNETPATH p;
        std::memset(&p, 0, sizeof p);
        p.types = types;
        p.userKinds = userKinds;
        p.userCount = static_cast<uint32_t>(users.size());
        p.userRels = users.empty() ? nullptr : users.data();
        p.termLimit = limit;
        p.depthLimit = depth;
        p.minStrength = minStrength;
        std::vector<CNETRESULT> res(limit + 1);
        CNETOUTPUT o;
        std::memset(&o, 0, sizeof o);
        o.results = res.data();
        CNETSTATUS st;
        vozCNETrefer(&handle, nullptr, name.c_str(), dir.c_str(), noBase ? nullptr : &b, &p,
                     nullptr, &o, &st);
        if (out != nullptr) {
            out->clear();
            for (uint32_t i = 0; i < o.count; ++i) {
                const CNETRESULT& r = res[i];
                out->push_back(Found{std::string(reinterpret_cast<const char*>(r.term), r.length),
                                     r.depth, r.strength, r.relKind, r.relNumber,
                                     r.parent == UINT32_MAX ? -1 : int64_t{r.parent}});
            }
        }
        return st;
    }
};

// The engine's normalised form of a word.
inline std::string norm(uint8_t codepage, const std::string& word) {
    uint8_t out[512];
    int32_t len = 0;
    GTRSTATUS gs;
    GTRnormalizeWord(codepage, reinterpret_cast<const uint8_t*>(word.data()),
                     static_cast<int32_t>(word.size()), out, sizeof out, &len, 1, &gs);
    EXPECT_EQ(gs.retcode, 0) << word;
    return std::string(reinterpret_cast<const char*>(out), static_cast<size_t>(len));
}

// The display form of a normalised word.
inline std::string display(uint8_t codepage, const std::string& key) {
    uint8_t out[512];
    int32_t len = 0;
    GTRSTATUS gs;
    GTRunnormalizeWord(codepage, reinterpret_cast<const uint8_t*>(key.data()),
                       static_cast<int32_t>(key.size()), out, sizeof out, &len, 1, &gs);
    EXPECT_EQ(gs.retcode, 0);
    return std::string(reinterpret_cast<const char*>(out), static_cast<size_t>(len));
}

// The four live files, concatenated with a separator.
inline std::string liveFiles(const std::string& dir, const std::string& name,
                             const char* const ext[4] = nullptr) {
    static const char* const live[4] = {"wdf", "wdv", "grf", "grv"};
    const char* const* e = ext != nullptr ? ext : live;
    std::string all;
    for (int i = 0; i < 4; ++i) all += readFile(dir + "/" + name + "." + e[i]) + "|";
    return all;
}

}  // namespace cdict

#endif  // TESTS_ITL_CNET_CNET_DICT_UTIL_HPP
