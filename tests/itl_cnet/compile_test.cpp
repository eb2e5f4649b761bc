// Tests of dictionary compilation (vozCNETregist), removal (vozCNETclear)
// and the related-term lookup (vozCNETrefer): byte-exact files against a
// model written from the layout, argument checks, warnings, replacing, and
// random definitions whose lookups are compared with the model's walk.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "cnet_lock.hpp"
#include "cnet_model.hpp"
#include "voz_cnet.h"

namespace {

using cmodel::MBlock;
using cmodel::MWord;

MWord m(const std::string& t, int s = 100) { return MWord{t, s, 255, 0}; }
MWord r(int cat, int id, const std::string& t, int s = 100) { return MWord{t, s, cat, id}; }

std::vector<MBlock> fixtureBlocks() {
    return {
        MBlock{3, 1, {m("car"), m("auto", 50), r(3, 132, "wheel", 20)}},
        MBlock{3, 130, {m("bus"), m("tram")}},
        MBlock{0, 0, {m("bus"), r(2, 1, "minibus"), r(1, 1, "vehicle", 90)}},
        MBlock{3, 2, {m("vehicle", 40), m("car", 70), m("lorry")}},
    };
}

struct Dir {
    TempDir dir{"cnet_compile", fastTempParent()};
    std::string path() const { return dir.path(); }
};

TEST(CnetCompile, FixtureFilesAreByteExact) {
    for (uint8_t cp : {uint8_t{8}, uint8_t{34}}) {
        Dir d;
        auto blocks = fixtureBlocks();
        CNETSTATUS st = cdict::compile(d.path(), "th", cmodel::definition(blocks), cp);
        ASSERT_EQ(st.retcode, 0u) << int(cp) << " " << st.errcode;
        cmodel::Model model(blocks, cp);
        EXPECT_EQ(hex(cdict::liveFiles(d.path(), "th")), hex(model.files())) << int(cp);
        EXPECT_EQ(readFile(d.dir.file("th.lk3")), "CL03");
        // Nothing of the work sets or the commit mark stays.
        for (const char* e : {"w1f", "w1v", "g1f", "g1v", "w2f", "lkc"})
            EXPECT_FALSE(exists(d.dir.file(std::string("th.") + e))) << e;
        // The combined strengths: auto (50) to car (100) 50; car (70 in
        // block 4) keeps its first strength 100.
        cdict::Lookup lk;
        lk.depth = 1;
        std::vector<cdict::Found> got;
        ASSERT_EQ(lk.run(d.path(), "th", "car", &got).retcode, 0u);
        std::set<std::string> terms;
        for (auto& f : got) terms.insert(f.term + ":" + std::to_string(f.strength));
        const std::string A = cdict::display(cp, cdict::norm(cp, "auto"));
        EXPECT_TRUE(terms.count(A + ":50")) << ::testing::PrintToString(got);
    }
}

TEST(CnetCompile, ArgumentsAndOutcomes) {
    Dir d;
    std::string def = d.dir.file("x.def");
    writeFile(def, ":WORDS:SYNONYM\ncar\nauto\n");
    auto run = [&](auto change) {
        CNETDEFINE df{};
        df.kind = 2;
        df.fileName = def.c_str();
        CNETATTRI a{};
        a.codepage = 8;
        CNETEXEC o{};
        o.flags = CNET_EXEC_REPLACE;
        std::string name = "th", dir = d.path();
        void* rsv = nullptr;
        const CNETDEFINE* pd = &df;
        const CNETATTRI* pa = &a;
        change(df, a, o, name, dir, rsv, pd, pa);
        CNETSTATUS st;
        vozCNETregist(dir.c_str(), name.c_str(), pd, pa, &o, rsv, &st);
        return st.retcode;
    };
    using D = CNETDEFINE;
    using A = CNETATTRI;
    using O = CNETEXEC;
    using S = std::string;
    static int dummy;
#define CASE(expr) [&](D& df, A& a, O& o, S& name, S& dir, void*& rsv, const D*& pd, \
                       const A*& pa) { (void)df; (void)a; (void)o; (void)name; (void)dir; \
                                       (void)rsv; (void)pd; (void)pa; expr; }
    EXPECT_EQ(run(CASE(name = "")), 502u);
    EXPECT_EQ(run(CASE(name = S(2048, 'n'))), 502u);
    EXPECT_EQ(run(CASE(df.kind = 1)), 503u);
    EXPECT_EQ(run(CASE(df.format = 1)), 503u);
    EXPECT_EQ(run(CASE(df.fileName = "")), 503u);
    EXPECT_EQ(run(CASE(a.codepage = 0)), 503u);
    EXPECT_EQ(run(CASE(a.codepage = 37)), 503u);
    EXPECT_EQ(run(CASE(pd = nullptr)), 503u);
    EXPECT_EQ(run(CASE(pa = nullptr)), 503u);
    EXPECT_EQ(run(CASE(rsv = &dummy)), 504u);
    EXPECT_EQ(run(CASE(df.reserved1[3] = 1)), 504u);
    EXPECT_EQ(run(CASE(df.reserved2[0] = 1)), 504u);
    EXPECT_EQ(run(CASE(df.reserved3[15] = 1)), 504u);
    EXPECT_EQ(run(CASE(a.reserved[14] = 1)), 504u);
    EXPECT_EQ(run(CASE(o.reserved[0] = 1)), 504u);
    EXPECT_EQ(run(CASE(o.flags |= 0x8)), 504u);
    EXPECT_FALSE(exists(d.dir.file("th.lk2")));  // no lock touched so far
    EXPECT_EQ(run(CASE(o.flags = 0)), 0u);
    const std::string before = cdict::liveFiles(d.path(), "th");
    writeFile(def, ":WORDS:SYNONYM\nbus\ntram\n");
    EXPECT_EQ(run(CASE(o.flags = 0)), 544u);
    EXPECT_EQ(cdict::liveFiles(d.path(), "th"), before);
    EXPECT_EQ(run(CASE((void)0)), 0u);
    EXPECT_NE(cdict::liveFiles(d.path(), "th"), before);
    EXPECT_EQ(readFile(d.dir.file("th.lk3")), "CL03");
#undef CASE
}

TEST(CnetCompile, DroppedAndDuplicateBlocks) {
    Dir d;
    CNETSTATUS st;
    Captured c = capture([&] {
        st = cdict::compile(d.path(), "th", ":WORDS:SYNONYM\nlonely\n", 8,
                            CNET_EXEC_REPLACE | CNET_EXEC_WARNINGS);
    });
    EXPECT_EQ(st.retcode, 567u);
    EXPECT_EQ(st.errcode, 1u);
    EXPECT_NE(std::string(st.fname1).find("th.def"), std::string::npos);
    EXPECT_TRUE(exists(d.dir.file("th.lk1")) || exists(d.dir.file("th.lk2")));
    EXPECT_FALSE(exists(d.dir.file("th.wdf")));
    c = capture([&] {
        st = cdict::compile(d.path(), "th",
                            ":WORDS:SYNONYM\ncar\nauto\n:WORDS:SYNONYM\nbus\ncoach\n"
                            ":WORDS:SYNONYM\nauto\ncar\n",
                            8, CNET_EXEC_REPLACE | CNET_EXEC_WARNINGS);
    });
    EXPECT_EQ(st.retcode, 0u);
    EXPECT_NE(c.err.find("vozC704W: Warning: line 7: Equivalent to the block in line 1.  "
                         "Discarded.\n"),
              std::string::npos)
        << c.err;
    cmodel::Model model({MBlock{3, 1, {m("car"), m("auto")}}, MBlock{3, 1, {m("bus"), m("coach")}}},
                        8);
    EXPECT_EQ(hex(cdict::liveFiles(d.path(), "th")), hex(model.files()));
}

TEST(CnetCompile, ClearRemovesAndMissingIsNoError) {
    Dir d;
    ASSERT_EQ(cdict::compile(d.path(), "th", ":WORDS:SYNONYM\ncar\nauto\n").retcode, 0u);
    CNETSTATUS st;
    vozCNETclear(d.path().c_str(), "th", &st);
    EXPECT_EQ(st.retcode, 0u);
    for (const char* e : {"wdf", "wdv", "grf", "grv", "lk3"})
        EXPECT_FALSE(exists(d.dir.file(std::string("th.") + e))) << e;
    EXPECT_TRUE(exists(d.dir.file("th.lk1")));
    EXPECT_TRUE(exists(d.dir.file("th.lk2")));
    EXPECT_EQ(cdict::Lookup().run(d.path(), "th", "car", nullptr).retcode, 543u);
    vozCNETclear(d.path().c_str(), "th", &st);
    EXPECT_EQ(st.retcode, 0u);
    ASSERT_EQ(cdict::compile(d.path(), "th", ":WORDS:SYNONYM\ncar\nauto\n", 8, 0).retcode, 0u);
}

// ---- lookups -------------------------------------------------------------------

TEST(CnetRefer, LimitCutUnknownAndArguments) {
    Dir d;
    ASSERT_EQ(cdict::compile(d.path(), "th", ":WORDS:SYNONYM\na\nb\nc\nd\ne\nf\n").retcode, 0u);
    cdict::Lookup lk;
    lk.limit = 3;
    std::vector<cdict::Found> got;
    CNETSTATUS st = lk.run(d.path(), "th", "a", &got);
    EXPECT_EQ(st.retcode, 0u);
    EXPECT_EQ(got.size(), 3u);
    EXPECT_EQ(st.resultsCut, 2u);
    lk.limit = 5;
    st = lk.run(d.path(), "th", "a", &got);
    EXPECT_EQ(got.size(), 5u);
    EXPECT_EQ(st.resultsCut, 0u);
    EXPECT_EQ(lk.run(d.path(), "th", "zz", &got).retcode, 552u);
    EXPECT_EQ(lk.run(d.path(), "none", "a", &got).retcode, 543u);
    lk.noBase = true;
    EXPECT_EQ(lk.run(d.path(), "th", "a", &got).retcode, 503u);  // a selection without base
    lk.types = 0;
    lk.userKinds = 0;
    lk.limit = 2;
    st = lk.run(d.path(), "th", "", &got);
    EXPECT_EQ(st.retcode, 0u);
    ASSERT_EQ(got.size(), 1u);  // one synonym set: its lowest word only
    EXPECT_EQ(got[0].term, "A");
    lk.noBase = false;
    lk.types = CNET_TYPE_SYNONYM;
    lk.users = {CNETUSERREL{5, 129, {}}};
    EXPECT_EQ(lk.run(d.path(), "th", "a", &got).retcode, 503u);
    lk.users = {CNETUSERREL{4, 1, {}}};
    EXPECT_EQ(lk.run(d.path(), "th", "a", &got).retcode, 503u);
    lk.users.clear();
    EXPECT_EQ(lk.run(d.path(), "th", std::string(65, 'a'), &got).retcode, 503u);
}

TEST(CnetRefer, RandomDefinitionsAgainstTheModel) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    const int rounds = 12;
    size_t records = 0;  // the walks compared must not all be empty
    for (int round = 0; round < rounds; ++round) {
        Dir d;
        const int vocab = 6 + pick(20);
        std::vector<MBlock> blocks = cmodel::randomBlocks(rng, vocab);
        const std::string def = cmodel::definition(blocks);
        CNETSTATUS st = cdict::compile(d.path(), "th", def, 8, CNET_EXEC_REPLACE);
        ASSERT_EQ(st.retcode, 0u) << "seed " << seed << "\n" << def;
        cmodel::Model model(blocks, 8);
        ASSERT_EQ(hex(cdict::liveFiles(d.path(), "th")), hex(model.files()))
            << "seed " << seed << "\n" << def;
        cdict::Lookup lk;
        for (int q = 0; q < 12; ++q) {
            lk.types = static_cast<uint8_t>(rng() & 0xF0);
            lk.userKinds = static_cast<uint8_t>(rng() & 0x70);
            lk.users.clear();
            if (pick(3) == 0) lk.users.push_back(CNETUSERREL{static_cast<uint32_t>(5 + pick(3)),
                                                             static_cast<uint32_t>(1 + pick(3)), {}});
            lk.limit = 1 + static_cast<uint32_t>(pick(12));
            lk.depth = static_cast<uint32_t>(pick(4));
            lk.minStrength = static_cast<uint8_t>(pick(3) == 0 ? pick(101) : 0);
            std::set<std::pair<int, int>> sel;
            if (lk.types & 0x80) sel.insert({3, 1});
            if (lk.types & 0x40) sel.insert({3, 2});
            if (lk.types & 0x20) sel.insert({1, 1});
            if (lk.types & 0x10) sel.insert({2, 1});
            for (int id = 128; id < 256; ++id) {
                if (lk.userKinds & 0x40) sel.insert({3, id});
                if (lk.userKinds & 0x20) sel.insert({1, id});
                if (lk.userKinds & 0x10) sel.insert({2, id});
            }
            for (auto& u : lk.users)
                sel.insert({u.kind == 5 ? 3 : u.kind == 6 ? 1 : 2, static_cast<int>(127 + u.number)});
            const std::string term = "w" + std::to_string(pick(vocab));
            std::vector<cdict::Found> got;
            st = lk.run(d.path(), "th", term, &got);
            auto want = model.walk(cdict::norm(8, term), sel, lk.limit, lk.depth, lk.minStrength);
            if (want.notFound) {
                EXPECT_EQ(st.retcode, 552u) << "seed " << seed;
                continue;
            }
            ASSERT_EQ(st.retcode, 0u) << "seed " << seed;
            EXPECT_EQ(got, want.found) << "seed " << seed << " term " << term << "\n" << def;
            records += got.size();
            EXPECT_EQ(st.resultsCut, want.cut) << "seed " << seed;
        }
    }
    EXPECT_GT(records, 20u);
}

}  // namespace

// ---- locks between a compile, a commit and readers (inside one process the
// lock registry makes requests conflict as between processes) -------------

namespace {

TEST(CnetCompileLocks, BusyCompilerCommitAndReader) {
    Dir d;
    ASSERT_EQ(cdict::compile(d.path(), "th", ":WORDS:SYNONYM\ncar\nauto\n").retcode, 0u);
    const std::string before = cdict::liveFiles(d.path(), "th");
    ScopedHooks hooks;
    {
        // A compile while another compile runs: 531 at once.
        CNETLOCK lk;
        cnetLockInit(&lk);
        CNETSTATUS st{};
        ASSERT_TRUE(cnetLock(nullptr, 1, d.path().c_str(), "th", &lk, &st));
        CNETSTATUS c = cdict::compile(d.path(), "th", ":WORDS:SYNONYM\nbus\ntram\n");
        EXPECT_EQ(c.retcode, 531u);
        EXPECT_EQ(hooks.sleeps, 0);
        cnetUnlock(nullptr, 1, d.path().c_str(), "th", &lk, &st);
    }
    {
        // A lookup during a commit: 531.
        CNETLOCK lk;
        cnetLockInit(&lk);
        CNETSTATUS st{};
        CNETEXEC quiet{};
        ASSERT_TRUE(cnetLock(&quiet, 2, d.path().c_str(), "th", &lk, &st));
        EXPECT_EQ(cdict::Lookup().run(d.path(), "th", "car", nullptr).retcode, 531u);
        cnetUnlock(&quiet, 2, d.path().c_str(), "th", &lk, &st);
    }
    {
        // A commit while a reader holds the dictionary: 531 after the
        // wait, the old dictionary still whole and readable.
        CNETLOCK lk;
        cnetLockInit(&lk);
        CNETSTATUS st{};
        ASSERT_TRUE(cnetLock(nullptr, 4, d.path().c_str(), "th", &lk, &st));
        CNETSTATUS c = cdict::compile(d.path(), "th", ":WORDS:SYNONYM\nbus\ntram\n");
        EXPECT_EQ(c.retcode, 531u);
        EXPECT_GT(hooks.sleeps, 0);
        cnetUnlock(nullptr, 4, d.path().c_str(), "th", &lk, &st);
        EXPECT_EQ(cdict::liveFiles(d.path(), "th"), before);
        EXPECT_FALSE(exists(d.dir.file("th.lkc")));
        std::vector<cdict::Found> got;
        EXPECT_EQ(cdict::Lookup().run(d.path(), "th", "car", &got).retcode, 0u);
        EXPECT_EQ(got.size(), 1u);
    }
    // Free again: the compile goes through.
    EXPECT_EQ(cdict::compile(d.path(), "th", ":WORDS:SYNONYM\nbus\ntram\n").retcode, 0u);
}

}  // namespace
