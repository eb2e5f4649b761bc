// Tests of the exported thesaurus lookup functions and of the list and
// iterator functions over their output lists: the argument table, the
// dictionary errors as error-info contents, lookups cut at the term limit,
// top terms that leave the handle's settings, and lists and iterators
// freed in either order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cnet_dict_util.hpp"
#include "itl_api.h"
#include "itl_list.hpp"
#include "itl_thesaurus.h"

namespace {

struct Api {
    TempDir dir{"cnet_api", fastTempParent()};
    ItlTyErrorInfoHandle ei = nullptr;
    ItlTyContextHandle ctx = nullptr;
    ItlTyThesaurusLookupHandle th = nullptr;
    Api() {
        EXPECT_EQ(cdict::compile(dir.path(), "th",
                                 ":WORDS:SYNONYM\ncar\nauto\nmotorcar\nvan\nbus\ncoach\n"
                                 ":WORDS:RELATED(5)\ntree\nplant\n"
                                 ":WORDS\nrose\n.HIGHER_THAN flower\n"
                                 ":WORDS\nlily\n.HIGHER_THAN flower\n",
                                 8)
                      .retcode,
                  0u);
        EXPECT_EQ(itlHandleNewErrorInfo(&ei), ItlEnReturnCode_Success);
        EXPECT_EQ(itlHandleNewContext(&ctx, ei), ItlEnReturnCode_Success);
        EXPECT_EQ(itlHandleNewThesaurusLookup(dir.path().c_str(), "th", 1252, 100, &th, ctx),
                  ItlEnReturnCode_Success);
    }
    ~Api() {
        itlHandleDeleteThesaurusLookup(&th);
        itlHandleDeleteContext(&ctx);
        itlHandleDeleteErrorInfo(&ei);
    }
    std::string context() const { return itlErrorInfoGetContext(ei); }
    ItlEnReasonCode reason() const { return itlErrorInfoGetReasonCode(ei); }
    // The terms of a list, walked with an iterator.
    std::vector<std::string> terms(ItlTyListHandle list) {
        std::vector<std::string> out;
        ItlTyIteratorHandle it = nullptr;
        EXPECT_EQ(itlHandleNewIterator(list, &it), ItlEnReturnCode_Success);
        for (bool ok = itlListIteratorIsValid(it); ok; ok = itlListIteratorSetToNext(it, 1)) {
            char term[ITL_THES_TERM_MAX];
            uint32_t len = 0;
            uint8_t strength = 0, kind = 0;
            uint16_t depth = 0, number = 0;
            EXPECT_EQ(itlThesaurusEntryObtainData(it, term, &len, &strength, &depth, &kind, &number),
                      ItlEnReturnCode_Success);
            out.push_back(std::string(term, len) + "/" + std::to_string(depth) + "/" +
                          std::to_string(kind) + "/" + std::to_string(number));
        }
        EXPECT_EQ(itlHandleDeleteIterator(&it), ItlEnReturnCode_Success);
        return out;
    }
};

TEST(ItlThesaurus, ArgumentTable) {
    Api a;
    ItlTyThesaurusLookupHandle h = nullptr;
    EXPECT_EQ(itlHandleNewThesaurusLookup(a.dir.path().c_str(), "th", 1200, 10, &h, a.ctx),
              ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Ccsid_not_supported);
    EXPECT_EQ(a.context().rfind("1200", 0), 0u) << a.context();
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(itlHandleNewThesaurusLookup(a.dir.path().c_str(), "th", 1252, 10, &h, nullptr),
              ItlEnReturnCode_Error_Handle);
    EXPECT_EQ(itlHandleNewThesaurusLookup(nullptr, "th", 1252, 10, &h, a.ctx), ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Invalid_argument);
    EXPECT_EQ(itlThesaurusLookupSetDepth(nullptr, 3), ItlEnReturnCode_Error_Handle);
    EXPECT_EQ(itlThesaurusLookupSetStrength(a.th, 100), ItlEnReturnCode_Success);
    EXPECT_EQ(itlThesaurusLookupSetStrength(a.th, 101), ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Invalid_term_strength);
    EXPECT_EQ(itlThesaurusLookupSetMasks(a.th, "??", 2, "*", 1), ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Invalid_single_character_mask);
    EXPECT_EQ(itlThesaurusLookupSetMasks(a.th, "?", 1, "**", 2), ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Invalid_multiple_character_mask);
    EXPECT_EQ(itlThesaurusLookupAddRelation(a.th, 0x40, 129), ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Invalid_relation_number);
    EXPECT_EQ(itlThesaurusLookupAddRelation(a.th, 0x80, 5), ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Invalid_relation_type);
    EXPECT_EQ(itlThesaurusLookupAddRelation(a.th, 0, 5), ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Invalid_relation_type);
    ItlTyListHandle list = nullptr;
    EXPECT_EQ(itlThesaurusLookupPerform(a.th, &list, std::string(65, 'a').c_str(), 65),
              ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Specified_phrase_too_long);
    EXPECT_EQ(a.context().rfind("65", 0), 0u);
    EXPECT_EQ(list, nullptr);
}

TEST(ItlThesaurus, LookupsAndDictionaryErrors) {
    Api a;
    // Strength 100 stays from above? A fresh handle: strength 0.
    ASSERT_EQ(itlThesaurusLookupSetRelationTypes(a.th, ITL_THES_SYNONYM), ItlEnReturnCode_Success);
    ASSERT_EQ(itlThesaurusLookupSetDepth(a.th, 0), ItlEnReturnCode_Success);  // 10
    ItlTyListHandle list = nullptr;
    ASSERT_EQ(itlThesaurusLookupPerform(a.th, &list, "car", 3), ItlEnReturnCode_Success)
        << a.context();
    EXPECT_EQ(a.terms(list).size(), 5u);
    uint32_t n = 0;
    EXPECT_EQ(itlListObtainNumberOfElements(list, &n), ItlEnReturnCode_Success);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(itlHandleDeleteList(&list), ItlEnReturnCode_Success);
    // Cut at the term limit: success, complete false, no context line.
    ASSERT_EQ(itlThesaurusLookupSetTermLimit(a.th, 3), ItlEnReturnCode_Success);
    ASSERT_EQ(itlThesaurusLookupPerform(a.th, &list, "car", 3), ItlEnReturnCode_Success);
    bool complete = true;
    EXPECT_EQ(itlThesaurusLookupObtainResultInformation(a.th, &n, &complete),
              ItlEnReturnCode_Success);
    EXPECT_EQ(n, 3u);
    EXPECT_FALSE(complete);
    EXPECT_EQ(a.terms(list).size(), 3u);
    EXPECT_EQ(itlHandleDeleteList(&list), ItlEnReturnCode_Success);
    // User relation 5 of the associative kind.
    ASSERT_EQ(itlThesaurusLookupSetRelationTypes(a.th, 0), ItlEnReturnCode_Success);
    ASSERT_EQ(itlThesaurusLookupAddRelation(a.th, ITL_THES_RELATED, 5), ItlEnReturnCode_Success);
    ASSERT_EQ(itlThesaurusLookupPerform(a.th, &list, "tree", 4), ItlEnReturnCode_Success);
    EXPECT_EQ(a.terms(list), std::vector<std::string>{"PLANT/1/5/5"});
    EXPECT_EQ(itlHandleDeleteList(&list), ItlEnReturnCode_Success);
    // An unknown term.
    EXPECT_EQ(itlThesaurusLookupPerform(a.th, &list, "zebra", 5), ItlEnReturnCode_Error);
    EXPECT_EQ(a.reason(), ItlEnReasonCode_Term_not_found);
    const std::string c = a.context();
    EXPECT_EQ(c.rfind("Kernel return code: 552\nKernel error code: ", 0), 0u) << c;
    EXPECT_NE(c.find("\nThe specified term can not be found."), std::string::npos) << c;
    // Properties: live words and groups.
    uint32_t words = 0, groups = 0;
    EXPECT_EQ(itlThesaurusLookupObtainProperties(a.th, &words, &groups), ItlEnReturnCode_Success);
    EXPECT_EQ(words, 11u);
    EXPECT_EQ(groups, 4u);
    // After a clear: 100 "does not exist."
    CNETSTATUS st;
    vozCNETclear(a.dir.path().c_str(), "th", &st);
    ASSERT_EQ(st.retcode, 0u);
    EXPECT_EQ(itlThesaurusLookupPerform(a.th, &list, "car", 3), ItlEnReturnCode_Error);
    EXPECT_EQ(static_cast<int>(a.reason()), 100);
    EXPECT_NE(a.context().find("Dictionary th does not exist."), std::string::npos) << a.context();
}

TEST(ItlThesaurus, HighestTermsKeepTheSettings) {
    Api a;
    ASSERT_EQ(itlThesaurusLookupSetRelationTypes(a.th, ITL_THES_SYNONYM), ItlEnReturnCode_Success);
    ASSERT_EQ(itlThesaurusLookupSetTermLimit(a.th, 2), ItlEnReturnCode_Success);
    ItlTyListHandle list = nullptr;
    ASSERT_EQ(itlThesaurusLookupObtainHighestTerms(a.th, &list), ItlEnReturnCode_Success)
        << a.context();
    uint32_t n = 0;
    bool complete = true;
    itlThesaurusLookupObtainResultInformation(a.th, &n, &complete);
    EXPECT_EQ(n, 2u);
    EXPECT_FALSE(complete);  // four top terms
    EXPECT_EQ(itlHandleDeleteList(&list), ItlEnReturnCode_Success);
    ASSERT_EQ(itlThesaurusLookupSetTermLimit(a.th, 10), ItlEnReturnCode_Success);
    ASSERT_EQ(itlThesaurusLookupObtainHighestTerms(a.th, &list), ItlEnReturnCode_Success);
    // Of each synonym set the lowest word id; flower has broader terms.
    EXPECT_EQ(a.terms(list),
              (std::vector<std::string>{"AUTO/0/0/0", "PLANT/0/0/0", "ROSE/0/0/0", "LILY/0/0/0"}));
    EXPECT_EQ(itlHandleDeleteList(&list), ItlEnReturnCode_Success);
    // The synonym setting is still in force.
    ASSERT_EQ(itlThesaurusLookupPerform(a.th, &list, "car", 3), ItlEnReturnCode_Success);
    EXPECT_EQ(a.terms(list).size(), 5u);
    EXPECT_EQ(itlHandleDeleteList(&list), ItlEnReturnCode_Success);
}

TEST(ItlThesaurus, ListsAndIteratorsInEitherOrder) {
    Api a;
    ASSERT_EQ(itlThesaurusLookupSetRelationTypes(a.th, ITL_THES_SYNONYM), ItlEnReturnCode_Success);
    ItlTyListHandle list = nullptr;
    ASSERT_EQ(itlThesaurusLookupPerform(a.th, &list, "car", 3), ItlEnReturnCode_Success);
    ItlTyIteratorHandle i1 = nullptr, i2 = nullptr;
    ASSERT_EQ(itlHandleNewIterator(list, &i1), ItlEnReturnCode_Success);
    ASSERT_EQ(itlHandleNewIterator(list, &i2), ItlEnReturnCode_Success);
    EXPECT_TRUE(itlListIteratorSetToLast(i1));
    EXPECT_TRUE(itlListIteratorIsAtLast(i1));
    EXPECT_TRUE(itlListIteratorIsAtFirst(i2));
    EXPECT_TRUE(itlListIteratorSetToNext(i2, 3));
    EXPECT_FALSE(itlListIteratorSetToNext(i2, 2));  // one before the last + 2
    EXPECT_TRUE(itlListIteratorSetToPrevious(i2, 3));
    EXPECT_FALSE(itlListIteratorSetToPrevious(i2, 1));
    EXPECT_EQ(itlHandleDeleteIterator(&i1), ItlEnReturnCode_Success);
    EXPECT_EQ(itlHandleDeleteList(&list), ItlEnReturnCode_Success);
    EXPECT_FALSE(itlListIteratorIsValid(i2));
    char term[ITL_THES_TERM_MAX];
    uint32_t len;
    EXPECT_EQ(itlThesaurusEntryObtainData(i2, term, &len, nullptr, nullptr, nullptr, nullptr),
              ItlEnReturnCode_Error_Handle);
    // The iterator of a deleted list is refused (16) but freed with the
    // records it still holds, and the handle cleared.
    EXPECT_EQ(itlHandleDeleteIterator(&i2), ItlEnReturnCode_Error_Handle);
    EXPECT_EQ(i2, nullptr);
    // An empty list: a lookup with no relations.
    ASSERT_EQ(itlThesaurusLookupSetRelationTypes(a.th, 0), ItlEnReturnCode_Success);
    ASSERT_EQ(itlThesaurusLookupPerform(a.th, &list, "car", 3), ItlEnReturnCode_Success);
    ItlTyIteratorHandle e = nullptr;
    ASSERT_EQ(itlHandleNewIterator(list, &e), ItlEnReturnCode_Success);
    EXPECT_FALSE(itlListIteratorIsValid(e));
    EXPECT_FALSE(itlListIteratorSetToLast(e));
    EXPECT_EQ(itlThesaurusEntryObtainData(e, term, &len, nullptr, nullptr, nullptr, nullptr),
              ItlEnReturnCode_Error);
    EXPECT_EQ(itlHandleDeleteIterator(&e), ItlEnReturnCode_Success);
    EXPECT_EQ(itlHandleDeleteList(&list), ItlEnReturnCode_Success);
}

}  // namespace
