// Case-insensitive words over an index that keeps case (built without
// `disable` bit 0): the key index holds every key window also in its
// case-folded form, so a word searched without case finds the key in every
// case, exactly, with masks and fuzzily; a case-sensitive word finds its
// own case only.
#include <gtest/gtest.h>

#include <string>

#include "gtrquery_fixture.hpp"

namespace {

TEST(WordCase, CaseInsensitiveWordsFindEveryCaseOfACaseKeepingIndex) {
    for (uint8_t code : {34, 7}) {
        gtrfix::Env env;
        GTRHCREATEPARM p = gtrfix::HParm(1, code);
        gqfix::build(env, {"Harbour lights", "the harbour", "HARBOUR 2024",
                           "harbours and lights"}, p);
        const char* dir = env.out.c_str();
        const struct {
            const char* query;
            gqfix::Docs want;
        } cases[] = {
            {"harbour", {1, 2, 3}},
            {"HarBour#N", {1, 2, 3}},
            {"harbour#C", {2}},
            {"HARBOUR#C", {3}},
            {"harb*%_100", {1, 2, 3, 4}},
            {"*ights%_100", {1, 4}},
            {"harbour%80", {1, 2, 3, 4}},
            {"harbour * lights", {1}},
            {"2024", {3}},
        };
        for (const auto& c : cases)
            EXPECT_EQ(gqfix::searchDocs(dir, c.query, code), c.want)
                << "code page " << int(code) << ": " << c.query;
    }
}

}  // namespace
