// Random updates, deletions (committed or cancelled) and merges (committed
// or cancelled) of both sub-indexes through the engine calls, compared
// after every step with a model of the live documents: verification's live
// numbers of each sub-index, and the document count of every key of the
// text sub-index through the key iterator (VOZ_GetDocumentCountEx).
#include <cstdio>
#include <random>

#include "gtrmaint_fixture.hpp"

using namespace mtfix;

namespace {

void RunModel(int16_t threshold) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    Env env;
    Docs model;
    int32_t next = 1;
    auto add = [&](char op) {
        Docs fresh;
        const int n = 1 + static_cast<int>(rng() % 6);
        for (int i = 0; i < n; ++i) fresh[next++] = static_cast<int>(rng() % kWordCount);
        GTRSTATUS st{};
        Update(env.out, env.work, op, fresh, &st, 3, threshold);
        ASSERT_EQ(st.retcode, 0) << "update " << st.errcode;
        model.insert(fresh.begin(), fresh.end());
    };
    add('N');
    std::string steps;
    for (int step = 1; step <= 24; ++step) {
        SCOPED_TRACE("threshold " + std::to_string(threshold) + " seed " +
                     std::to_string(seed) + " step " + std::to_string(step) + ":" +
                     steps);
        const uint32_t what = rng() % 10;
        GTRSTATUS st{};
        if (what < 4) {
            steps += " add";
            add('A');
        } else if (what < 7) {
            // Some live documents, some gone already, one never given.
            std::vector<int32_t> gone;
            for (const auto& [doc, word] : model)
                if (rng() % 4 == 0) gone.push_back(doc);
            gone.push_back(next + 100);
            const char fin = rng() % 4 == 0 ? 'C' : 'G';
            steps += std::string(" delete") + fin;
            Delete(env.out, env.work, gone, fin, &st);
            ASSERT_EQ(st.retcode, 0) << "deletion " << st.errcode;
            if (fin == 'G')
                for (int32_t d : gone) model.erase(d);
        } else {
            const char fin = rng() % 4 == 0 ? 'C' : 'G';
            steps += std::string(" merge") + fin;
            Merge(env.out, env.work, fin, &st);
            ASSERT_EQ(st.retcode, 0) << "merge " << st.errcode;
        }
        EXPECT_EQ(Live(env.out, 0x40, &st), Numbers(model));
        ASSERT_EQ(st.retcode, 0) << "text verification " << st.errcode;
        EXPECT_EQ(Live(env.out, 0, &st), Numbers(model));
        ASSERT_EQ(st.retcode, 0) << "item verification " << st.errcode;
        std::map<std::string, int32_t> counts = KeyCounts(env.out, &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        ASSERT_EQ(counts, ModelCounts(model, counts));
        EXPECT_EQ(env.leftovers(), std::vector<std::string>{});
    }
    std::printf("seed %u:%s\n", seed, steps.c_str());
}

TEST(GtrMaintModel, RandomStepsOverSequentialFilesMatchTheModel) { RunModel(-1); }

TEST(GtrMaintModel, RandomStepsOverTheBlockStoreMatchTheModel) { RunModel(1); }

}  // namespace
