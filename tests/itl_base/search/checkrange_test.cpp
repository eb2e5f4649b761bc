// Block ranges of words: whole searches over corpus D5 plus a document of
// four sentences, built through the creation cycle; sentence blocks (kind
// 0) restrict where a word may occur, alone and under operators.
#include <gtest/gtest.h>

#include "search2_fixture.hpp"

using namespace s2fix;

namespace {

// D5, then document 5 with four sentences: blocks start at 1, 7, 13, 19.
const std::vector<std::string> kDocs = {"123 456. 789", "123 2020", "456 789 123",
                                        "2020", "3131 123. 456",
                                        "11 1. 11 2. 11 3. 11"};

using BlockRanges = CorpusSuite<&kDocs>;

// Restricts word `slot` to sentence blocks: the given ranges, or every
// even-numbered block when `ranges` is null.
void restrict(Query& q, int32_t slot, std::vector<RTRVRANGE>* ranges) {
    RTRVWORD& w = q.words[static_cast<size_t>(slot)].wi;
    w.range_dlmno = 0;
    w.rangenum = ranges == nullptr ? -1 : static_cast<int32_t>(ranges->size());
    w.range = ranges == nullptr ? nullptr : ranges->data();
}

TEST_F(BlockRanges, OneWord) {
    struct Row {
        const char* word;
        std::vector<RTRVRANGE> ranges;
        bool even;
        Hits want;
    };
    const std::vector<Row> rows = {
        {"456", {{2, 2}}, false, {{4, 11}}},
        {"123", {{1, 1}}, false, {{0, 1}, {1, 1}, {2, 9}, {4, 6}}},
        {"456", {}, true, {{4, 11}}},
        {"789", {}, true, {{0, 10}}},
        {"789", {{1, 1}}, false, {{2, 5}}},
        {"123", {{2, 3}}, false, {}},
        // Block 2 lies between the ranges: skipped to its end.
        {"11", {{1, 1}, {3, 3}}, false, {{5, 1}, {5, 13}}},
        {"11", {}, true, {{5, 7}, {5, 19}}},
        {"11", {{3, 9}}, false, {{5, 13}, {5, 19}}},
        // Overlapping ranges, and one whose start lies past its end.
        {"11", {{2, 3}, {3, 4}, {4, 1}}, false, {{5, 7}, {5, 13}, {5, 19}}},
    };
    for (Row row : rows) {
        SCOPED_TRACE(std::string(row.word) + (row.even ? " even" : ""));
        Query q;
        int32_t w = q.word(row.word);
        q.op('O', {w});
        restrict(q, w, row.even ? nullptr : &row.ranges);
        Outcome o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(hitsOf(o), row.want);
    }
}

TEST_F(BlockRanges, UnderOperators) {
    std::vector<RTRVRANGE> first{{1, 1}}, second{{2, 2}};
    {
        Query q;  // 123 in the first sentence and 456 in the second
        int32_t a = q.word("123"), b = q.word("456");
        q.op('A', {a, b});
        restrict(q, a, &first);
        restrict(q, b, &second);
        Outcome o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(o.docs, (std::set<int32_t>{4}));
    }
    {
        Query q;  // a restricted word beside an unrestricted one
        int32_t a = q.word("456"), b = q.word("2020");
        q.op('O', {a, b});
        restrict(q, a, &second);
        Outcome o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(o.docs, (std::set<int32_t>{1, 3, 4}));
    }
}

}  // namespace
