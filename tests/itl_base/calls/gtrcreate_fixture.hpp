// Test support for the update cycle's public calls: creation records, and
// an output and work directory with the current directory moved to a fresh
// one (no trace marker, no "GTRSYS" file). Header-only.
#ifndef TESTS_ITL_BASE_CALLS_GTRCREATE_FIXTURE_HPP
#define TESTS_ITL_BASE_CALLS_GTRCREATE_FIXTURE_HPP

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "build/creat_fixture.hpp"
#include "calls/voz_gtrcreate.hpp"

namespace gtrfix {

#define EXPECT_STATUS(st, rc, ec)                                      \
    EXPECT_EQ(std::make_pair((st).retcode, (st).errcode),              \
              std::make_pair(int32_t(rc), int32_t(ec)))

// Bigrams, the store defaults (-1), sub-type 3.
inline GTRHCREATEPARM HParm(uint8_t purpose = 1, uint8_t code = 34) {
    GTRHCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.index_type = 2;
    p.codepage = code;
    p.index_purpose = purpose;
    p.index_subtype = 3;
    p.block_threshold = -1;
    p.block_size = -1;
    return p;
}

inline GTRSYSPARM SysParm(int32_t pool = 1 << 20, int32_t delta = 1 << 16) {
    return creatfix::Sys(pool, delta);
}

// Index "idx" in <tmp>/out, work files in <tmp>/work.
struct Env {
    TempDir tmp{"gtrcreate"};
    std::string out = tmp.path() + "/out";
    std::string work = tmp.path() + "/work";
    std::string oldCwd;
    GTRSYSPARM sys = SysParm();
    int32_t maxDoc = 0;
    GTRSTATUS st{};
    void* h = nullptr;

    Env() {
        mkdir(out.c_str(), 0770);
        mkdir(work.c_str(), 0770);
        oldCwd = std::filesystem::current_path().string();
        std::filesystem::current_path(tmp.path());
    }
    ~Env() {
        if (h != nullptr) GTRcreateIndexTerm(h, 'C', &st);
        std::filesystem::current_path(oldCwd);
    }
    // Starts a cycle into `h` (null after a failure).
    void init(GTRHCREATEPARM* p, char op = 'N') {
        GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), op, 'B', p,
                           &sys, &maxDoc, &st);
    }
    void init(GTRHCREATEPARM p = HParm(), char op = 'N') { init(&p, op); }
    // One text call; a failure cancelled the update, so `h` is dropped.
    void doc(const std::string& text, int32_t docno, int32_t* start,
             BOUNDARYINFO* b = nullptr) {
        GTRcreateIndexOneDoc(h, reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<int32_t>(text.size()), docno, start,
                             b, &st);
        if (st.retcode != 0) h = nullptr;
    }
    void finish() {
        GTRcreateIndexLast(h, &st);
        if (st.retcode != 0) {
            h = nullptr;
            return;
        }
        GTRcreateIndexTerm(h, 'G', &st);
        h = nullptr;
    }
    // Names in the output directory holding a '!' (builds not switched in).
    std::vector<std::string> tempDirs() const {
        std::vector<std::string> v;
        for (const auto& e : std::filesystem::directory_iterator(out)) {
            const std::string n = e.path().filename().string();
            if (n.find('!') != std::string::npos) v.push_back(n);
        }
        return v;
    }
};

}  // namespace gtrfix

#endif  // TESTS_ITL_BASE_CALLS_GTRCREATE_FIXTURE_HPP
