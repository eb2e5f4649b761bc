// Test support for the sub-index administration and verification tests: a
// temporary directory with an output and a work folder for index "idx",
// and the deletion of documents from it through the deletion cycle.
// Header-only.
#ifndef TESTS_ITL_BASE_BUILD_DELDOC_FIXTURE_HPP
#define TESTS_ITL_BASE_BUILD_DELDOC_FIXTURE_HPP

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "build/voz_deldoc.hpp"

namespace endfix {

// `out` and `work` folders in a temporary directory tagged `tag`.
struct IndexDirs {
    TempDir tmp;
    std::string out;
    std::string work;
    explicit IndexDirs(const char* tag)
        : tmp(tag), out(tmp.path() + "/out"), work(tmp.path() + "/work") {
        mkdir(out.c_str(), 0770);
        mkdir(work.c_str(), 0770);
    }
    // Deletes `docs` from index "idx" of `out` in one deletion cycle.
    void remove(std::vector<uint32_t> docs) {
        GTRSTATUS st{};
        CREATWRK* b = nullptr;
        vozDeleteDocInit(&b, "idx", out.c_str(), "KPLQ", "Full", &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        VOZ_deleteDocs(b->indexSets, static_cast<uint32_t>(docs.size()),
                       docs.data(), &st);
        if (st.retcode == 0) vozDeleteDocLast(b, &st);
        if (st.retcode == 0) vozDeleteDocTerm(b, 'G', &st);
        vozDeleteDocFree(b);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
};

}  // namespace endfix

#endif  // TESTS_ITL_BASE_BUILD_DELDOC_FIXTURE_HPP
