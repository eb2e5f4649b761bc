// Test support for field restrictions: an index whose documents carry
// fields, built through the update cycle's public calls (code page 1, the
// settings of search2_fixture.hpp) with each document's field boundaries in
// its BOUNDARYINFO. Header-only.
#ifndef TESTS_ITL_BASE_SEARCH_FIELD_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_FIELD_FIXTURE_HPP

#include <string>
#include <vector>

#include "search2_fixture.hpp"

namespace fldfix {

using namespace s2fix;

// One instance of a field: number and byte range [start, end) of the text.
struct Field {
    uint16_t number;
    int start, end;
};

struct FieldDoc {
    std::string text;
    std::vector<Field> fields;
};

// One creation cycle of `docs`, numbered from 0, into corpus `c`.
inline void buildWithFields(Corpus& c, const std::vector<FieldDoc>& docs,
                            GTRSTATUS& st) {
    std::vector<std::string> texts;
    for (const FieldDoc& d : docs) texts.push_back(d.text);
    std::vector<std::vector<FLDBOUNDARYINFO>> fields(docs.size());
    std::vector<BOUNDARYINFO> records(docs.size());
    std::vector<BOUNDARYINFO*> bounds;
    for (size_t i = 0; i < docs.size(); ++i) {
        auto* base = reinterpret_cast<uint8_t*>(const_cast<char*>(texts[i].data()));
        for (const Field& f : docs[i].fields) {
            FLDBOUNDARYINFO b;
            memset(&b, 0, sizeof b);
            b.fld_number = f.number;
            b.fld_start_ptr = base + f.start;
            b.fld_end_ptr = base + f.end;
            fields[i].push_back(b);
        }
        BOUNDARYINFO& r = records[i];
        memset(&r, 0, sizeof r);
        r.fld_boundary_num = static_cast<int32_t>(fields[i].size());
        r.fld_boundary = fields[i].empty() ? nullptr : fields[i].data();
        bounds.push_back(&r);
    }
    c.cycle('N', 0, texts, st, textParm(), &bounds);
}

template <const std::vector<FieldDoc>* kDocs>
void buildOf(Corpus& c, GTRSTATUS& st) {
    buildWithFields(c, *kDocs, st);
}

// A suite over one read-only index built once from *kDocs.
template <const std::vector<FieldDoc>* kDocs>
using FieldSuite = BuiltSuite<&buildOf<kDocs>>;

}  // namespace fldfix

#endif  // TESTS_ITL_BASE_SEARCH_FIELD_FIXTURE_HPP
