// Test support for block (unit) tests: an index whose boundary key of one
// block kind holds given boundary positions, written through the storage's
// own writers on top of a set from search_fixture.hpp. Header-only.
#ifndef TESTS_ITL_BASE_SEARCH_BOUNDARY_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_BOUNDARY_FIXTURE_HPP

#include "search_fixture.hpp"

namespace srchfix {

// Writes index "idx" in `dir` (documents 0-5, one ordinary key) whose
// boundary key of kind `slot` has, per document, the given boundary
// positions (ascending); other documents have none.
inline void writeBoundarySet(const std::string& dir, int slot,
                             const List& bounds, GTRSTATUS& st) {
    SetSpec spec;
    spec.docs = {0, 1, 2, 3, 4, 5};
    spec.keys.push_back({"\1\0\1\0\1\0", {{0, {1}}}});
    writeSet(dir, "idx", 0, 0, spec, st);
    if (st.retcode != 0) return;
    _FCTLHEAD fs = setOf(dir, "idx", 0, 0);
    voz_IDXopen(&fs, "rb+", &st);
    KEYINFO_0 info{};
    voz_ReadKeyInfo(&fs, &info, 0, nullptr, &st);
    std::vector<uint8_t> bytes = encodePositionList(bounds);
    voz_fseek_POSFILE(&fs, -1, &st);
    KEY_REC rec{};
    rec.kind = VOZ_KIND_FIXED;
    rec.recCount = 1;
    rec.location = static_cast<uint32_t>(fs.posOffset);
    rec.dataLength = static_cast<uint32_t>(bytes.size());
    rec.docCount = static_cast<uint32_t>(bounds.size());
    rec.lastDoc = bounds.back().id;
    voz_fwrite_POSFILE(bytes.data(), static_cast<int32_t>(bytes.size()), &fs, &st);
    voz_WriteKey(&fs, &info, &rec, slot, nullptr, &st);
    voz_WriteKeyInfo(&fs, &info, &st);
    voz_IDXclose(&fs, &st);
    voz_WriteKeyInfo2(&fs, &st);
}

}  // namespace srchfix

#endif  // TESTS_ITL_BASE_SEARCH_BOUNDARY_FIXTURE_HPP
