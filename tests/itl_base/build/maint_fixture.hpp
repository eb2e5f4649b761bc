// Test support for the builder's merge and deletion tests: an index "idx"
// in a temporary directory with its leftovers and halves read back, and a
// deletion of documents from its text sub-index. Header-only.
#ifndef TESTS_ITL_BASE_BUILD_MAINT_FIXTURE_HPP
#define TESTS_ITL_BASE_BUILD_MAINT_FIXTURE_HPP

#include <string>
#include <vector>

#include "createend_fixture.hpp"
#include "build/voz_deldoc.hpp"

namespace maintfix {

using namespace endfix;

struct Index {
    TempDir tmp;
    std::string out = tmp.path() + "/out";
    std::string work = tmp.path() + "/work";
    std::string dir = out + "/idx";
    explicit Index(const char* name = "maint") : tmp(name) {
        mkdir(out.c_str(), 0770);
        mkdir(work.c_str(), 0770);
    }
    // Names in the index directory starting with '#' or '%', or the mark.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> bad;
        for (const std::string& n : DirNames(dir))
            if (n[0] == '#' || n[0] == '%' || n == "voz.JNL") bad.push_back(n);
        return bad;
    }
    Half half(int h) const {
        GTRSTATUS st{};
        Half r = ReadHalf(out, h, &st);
        EXPECT_OK(st);
        return r;
    }
};

// Init, the deletes and Last of a deletion in the sub-index `prefix`; the
// block is returned for Term (null when init failed).
inline CREATWRK* PrepareDeletion(const std::string& out, std::vector<uint32_t> docs,
                                 GTRSTATUS* st, const char* letters = "KPLQ",
                                 const char* prefix = "Full") {
    CREATWRK* b = nullptr;
    vozDeleteDocInit(&b, "idx", out.c_str(), letters, prefix, st);
    if (b == nullptr) return nullptr;
    VOZ_deleteDocs(b->indexSets, static_cast<uint32_t>(docs.size()), docs.data(), st);
    if (st->retcode == 0) vozDeleteDocLast(b, st);
    return b;
}

// A whole deletion from the text sub-index, ended with `term`.
inline void DeleteDocs(const std::string& out, std::vector<uint32_t> docs, char term,
                       GTRSTATUS* st) {
    CREATWRK* b = PrepareDeletion(out, docs, st);
    if (st->retcode == 0) vozDeleteDocTerm(b, term, st);
    vozDeleteDocFree(b);
}

}  // namespace maintfix

#endif  // TESTS_ITL_BASE_BUILD_MAINT_FIXTURE_HPP
