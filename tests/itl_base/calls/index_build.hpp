// index_build.hpp -- builds a text index of a list of documents under one of
// a few fixed settings through the public creation calls. Shared by the
// byte test of the index files (index_bytes_test.cpp) and the program
// bench/index_corpus, which compares two builds of the engine on a real
// corpus.
//
// Settings:
//   bench    the engine benchmark's: UTF-8, word rule 1, 2-grams, sub-type
//            3, folded case, a 64 MB pool growing by 8 MB
//   small    the same with a 16 KB pool: many flushes and work-file merges
//            (each small pool grows by its own size)
//   rule0    word rule 0, case kept (unit equivalence), a 256 KB pool
//   gram1    1-grams, no sentence ends, sub-type 1, a 128 KB pool
//   bounds   as small, with a paragraph delimiter at each blank line and
//            the first line of each document as field 1
//   append   as small, the first two thirds in one cycle and the rest
//            appended in a second
// Documents are numbered from 1 in list order.
#ifndef TESTS_ITL_BASE_CALLS_INDEX_BUILD_HPP
#define TESTS_ITL_BASE_CALLS_INDEX_BUILD_HPP

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "calls/voz_gtrcreate.hpp"
#include "files/voz_records.hpp"

namespace index_build {

struct Setting {
    const char* name;
    uint8_t ngram;
    uint8_t wordRule;
    uint8_t disable;
    uint8_t subtype;
    int32_t pool;
    bool bounds;
    bool append;
};

inline const std::vector<Setting>& settings() {
    static const std::vector<Setting> all = {
        {"bench", 2, 1, 1, 3, 64 << 20, false, false},
        {"small", 2, 1, 1, 3, 16 << 10, false, false},
        {"rule0", 2, 0, 0, 3, 256 << 10, false, false},
        {"gram1", 1, 1, 2, 1, 128 << 10, false, false},
        {"bounds", 2, 1, 1, 3, 64 << 10, true, false},
        {"append", 2, 1, 1, 3, 64 << 10, false, true},
    };
    return all;
}

// The boundaries of the "bounds" setting over `text`.
struct Bounds {
    std::vector<int16_t> no;
    std::vector<uint8_t*> at;
    FLDBOUNDARYINFO field{};
    BOUNDARYINFO info{};

    explicit Bounds(std::string& text) {
        auto* base = reinterpret_cast<uint8_t*>(&text[0]);
        for (size_t p = text.find("\n\n"); p != std::string::npos;
             p = text.find("\n\n", p + 2)) {
            no.push_back(1);
            at.push_back(base + p + 1);
        }
        size_t eol = text.find('\n');
        if (eol == std::string::npos) eol = text.size();
        field.fld_number = 1;
        field.fld_start_ptr = base;
        field.fld_end_ptr = base + eol;
        info.delimiter_num = static_cast<int32_t>(no.size());
        info.delimiter_NO = no.data();
        info.boundary_ptr = at.data();
        info.fld_boundary_num = 1;
        info.fld_boundary = &field;
    }
};

// Seconds of the two steps of the build.
struct Times {
    double feed = 0;    // GTRcreateIndexInit and the document calls
    double finish = 0;  // GTRcreateIndexLast and GTRcreateIndexTerm 'G'
};

// One creation cycle over docs[from, to) into out (work files in work).
// Empty on success, else the failing step and its status.
inline std::string cycle(const Setting& c, char op,
                         std::vector<std::string>& docs, size_t from,
                         size_t to, const std::string& out,
                         const std::string& work, Times* t) {
    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point t0) {
        return std::chrono::duration<double>(Clock::now() - t0).count();
    };
    auto failed = [](const char* step, const GTRSTATUS& st) {
        return std::string(step) + " " + std::to_string(st.retcode) + "/" +
               std::to_string(st.errcode);
    };
    GTRHCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.index_type = c.ngram;
    p.codepage = 34;
    p.index_purpose = 1;
    p.word_rule = c.wordRule;
    p.disable = c.disable;
    p.index_subtype = c.subtype;
    p.block_threshold = -1;
    p.block_size = -1;
    GTRSYSPARM s;
    memset(&s, 0, sizeof s);
    s.poolsize = c.pool;
    // A small pool grows in small steps too (only a document that fills
    // it alone makes it grow), so that it keeps flushing often.
    s.poolsizedelta = c.pool < (8 << 20) ? c.pool : 8 << 20;
    s.displaylog = 'N';
    GTRSTATUS st{};
    int32_t maxDoc = 0;
    void* h = nullptr;
    const auto t0 = Clock::now();
    GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), op, 'B', &p, &s,
                       &maxDoc, &st);
    if (st.retcode != 0) return failed("init", st);
    for (size_t i = from; i < to && st.retcode == 0; ++i) {
        int32_t startPos = 0;
        std::string& text = docs[i];
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        const auto length = static_cast<int32_t>(text.size());
        const auto docno = static_cast<int32_t>(i + 1);
        if (c.bounds && !text.empty()) {
            Bounds b(text);
            GTRcreateIndexOneDoc(h, bytes, length, docno, &startPos, &b.info,
                                 &st);
        } else {
            GTRcreateIndexOneDoc(h, bytes, length, docno, &startPos, nullptr,
                                 &st);
        }
    }
    if (st.retcode != 0) return failed("document", st);
    t->feed += since(t0);
    const auto t1 = Clock::now();
    GTRcreateIndexLast(h, &st);
    if (st.retcode != 0) return failed("last", st);
    GTRcreateIndexTerm(h, 'G', &st);
    if (st.retcode != 0) return failed("term", st);
    t->finish += since(t1);
    return "";
}

// Builds the index of `docs` under setting `c` in dir/out (work files in
// dir/work). Empty on success, else what failed.
inline std::string build(const Setting& c, std::vector<std::string>& docs,
                         const std::string& dir, Times* t) {
    const std::string out = dir + "/out", work = dir + "/work";
    std::filesystem::create_directories(out);
    std::filesystem::create_directories(work);
    const size_t split = c.append ? docs.size() * 2 / 3 : docs.size();
    std::string err = cycle(c, 'N', docs, 0, split, out, work, t);
    if (err.empty() && split < docs.size())
        err = cycle(c, 'A', docs, split, docs.size(), out, work, t);
    return err;
}

}  // namespace index_build

#endif  // TESTS_ITL_BASE_CALLS_INDEX_BUILD_HPP
