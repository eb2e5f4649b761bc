// Shared set-up for the search benchmarks: the creation and pool parameters
// they use, one text document fed to the update cycle, the project's ASCII
// sources read as a corpus, and a temporary index built once through the
// update cycle's public calls and opened into a warm search handle (removed
// with its directory at exit).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "calls/voz_gtrcreate.hpp"
#include "files/voz_records.hpp"
#include "search/voz_search.hpp"

// Creation parameters of a type-2 index with default block choices.
inline GTRHCREATEPARM benchCreateParm(uint8_t codepage, int purpose, int subtype) {
    GTRHCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.index_type = 2;
    p.codepage = codepage;
    p.index_purpose = static_cast<decltype(p.index_purpose)>(purpose);
    p.index_subtype = static_cast<decltype(p.index_subtype)>(subtype);
    p.block_threshold = -1;
    p.block_size = -1;
    return p;
}

inline GTRSYSPARM benchSysParm(int32_t pool, int32_t delta, char displaylog) {
    GTRSYSPARM sys;
    memset(&sys, 0, sizeof sys);
    sys.poolsize = pool;
    sys.poolsizedelta = delta;
    sys.displaylog = displaylog;
    return sys;
}

// Feeds one text document to the update cycle.
inline void benchAddText(void* h, const std::string& text, int32_t docno, GTRSTATUS* st) {
    int32_t start = 0;
    GTRcreateIndexOneDoc(h, reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int32_t>(text.size()), docno, &start, nullptr, st);
}

// The project's non-empty ASCII .cpp/.hpp sources, in directory order.
inline std::vector<std::string> benchSourceTexts() {
    namespace fs = std::filesystem;
    const fs::path root = fs::path(__FILE__).parent_path().parent_path();
    std::vector<std::string> texts;
    for (const auto& e : fs::recursive_directory_iterator(root / "source")) {
        const std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".cpp" && ext != ".hpp")) continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::string t((std::istreambuf_iterator<char>(in)),
                      std::istreambuf_iterator<char>());
        if (!t.empty() && std::none_of(t.begin(), t.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80;
            }))
            texts.push_back(std::move(t));
    }
    return texts;
}

// An index of code page `codepage` and purpose `purpose` (subtype 3, 64 MB
// pool) in a temporary directory named after `name`, filled by `feed` and
// opened with `half` as the warm handle. Aborts when the build fails.
struct BenchIndex {
    std::string dir;
    VOZSEARCH* handle = nullptr;

    BenchIndex(const char* name, uint8_t codepage, int purpose, int32_t half,
               const std::function<void(void*, GTRSTATUS*)>& feed) {
        dir = (std::filesystem::temp_directory_path() /
               (std::string(name) + "." + std::to_string(getpid()))).string();
        const std::string out = dir + "/out";
        const std::string work = dir + "/work";
        std::filesystem::create_directories(out);
        std::filesystem::create_directories(work);
        const std::string old = std::filesystem::current_path().string();
        std::filesystem::current_path(work);
        GTRHCREATEPARM p = benchCreateParm(codepage, purpose, 3);
        GTRSYSPARM sys = benchSysParm(64 << 20, 8 << 20, 'N');
        GTRSTATUS st{};
        int32_t maxDoc = 0;
        void* h = nullptr;
        GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), 'N', 'B', &p, &sys,
                           &maxDoc, &st);
        if (st.retcode == 0) feed(h, &st);
        if (st.retcode == 0) GTRcreateIndexLast(h, &st);
        if (st.retcode == 0) GTRcreateIndexTerm(h, 'G', &st);
        std::filesystem::current_path(old);
        GTRCREATEPARM p1{}, p2{};
        if (st.retcode == 0)
            VOZ_SearchOpen_(&handle, "idx", out.c_str(), "KPLQ", "MRNS", "Full", "Item",
                            nullptr, &p1, &p2, half, &st, 0);
        if (st.retcode != 0) {
            fprintf(stderr, "index build failed: %d/%d\n", st.retcode, st.errcode);
            std::abort();
        }
    }
    ~BenchIndex() {
        GTRSTATUS st{};
        VOZ_SearchClose_(handle, &st, 0);
        VOZ_SearchRelease(&handle, &st);
        std::filesystem::remove_all(dir);
    }
    BenchIndex(const BenchIndex&) = delete;
    BenchIndex& operator=(const BenchIndex&) = delete;
};
