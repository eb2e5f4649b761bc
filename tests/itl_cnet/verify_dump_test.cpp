// Tests of dictionary verification (vozCNETverify) and dump (vozCNETdump):
// single damages of each table, the word index, the dump text, output
// files kept on failure, and random definitions that round-trip through a
// dump and a compile byte for byte.
#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "cnet_model.hpp"
#include "voz_cnet.h"

namespace {

const char* const kDef =
    ":WORDS:SYNONYM\ncar\nauto :50\n"
    ":WORDS:RELATED(5)\nbus\ncoach\n"
    ":WORDS\nbus\n.HIGHER_THAN vehicle\n.LOWER_THAN minibus :30\n";

struct Dict {
    TempDir dir{"cnet_verify", fastTempParent()};
    std::string path() const { return dir.path(); }
    std::string file(const char* ext) const { return dir.file(std::string("th.") + ext); }
    explicit Dict(const std::string& def = kDef, uint8_t cp = 8) {
        EXPECT_EQ(cdict::compile(path(), "th", def, cp).retcode, 0u);
    }
    uint32_t verify(uint16_t flags = 0, std::string* out = nullptr) {
        CNETEXEC o{};
        o.flags = flags;
        CNETSTATUS st;
        Captured c = capture([&] { vozCNETverify(path().c_str(), "th", &o, nullptr, nullptr, &st); });
        if (out != nullptr) *out = c.out;
        return st.retcode;
    }
    CNETSTATUS dump(const std::string& to, const std::string& term = "",
                    uint16_t flags = CNET_EXEC_REPLACE) {
        CNETDEFINE d{};
        d.kind = 2;
        d.fileName = to.c_str();
        CNETBASE b{};
        std::memcpy(b.term, term.data(), std::min<size_t>(term.size(), 64));
        b.length = static_cast<uint16_t>(term.size());
        b.precision = 100;
        CNETEXEC o{};
        o.flags = flags;
        CNETSTATUS st;
        vozCNETdump(path().c_str(), "th", term.empty() ? nullptr : &b, &d, &o, nullptr, &st);
        return st;
    }
    // Patches `bytes` into a file at `offset`.
    void patch(const char* ext, size_t offset, const std::string& bytes) {
        std::string s = readFile(file(ext));
        ASSERT_LE(offset + bytes.size(), s.size());
        s.replace(offset, bytes.size(), bytes);
        writeFile(file(ext), s);
    }
    uint32_t be32(const char* ext, size_t offset) {
        std::string s = readFile(file(ext));
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(s[offset + static_cast<size_t>(i)]);
        return v;
    }
    // Offset in the word value file of word `id`'s first relation.
    size_t firstRelation(uint32_t id) {
        const size_t slot = 80 + 20 * id;
        uint32_t off = be32("wdf", slot), len = be32("wdf", slot + 4), groups = be32("wdf", slot + 12);
        EXPECT_GT(be32("wdf", slot + 8), 0u);
        return off + (len + 3) / 4 * 4 + 4 * groups;
    }
};

std::string be(uint32_t v) {
    std::string s;
    cmodel::Model::be32(s, v);
    return s;
}

TEST(CnetVerify, FreshDictionaryAndOutput) {
    Dict d;
    std::string out;
    EXPECT_EQ(d.verify(CNET_EXEC_PROGRESS, &out), 0u);
    EXPECT_NE(out.find(": Verify start...\n"), std::string::npos) << out;
    EXPECT_NE(out.find(": Verify end\n"), std::string::npos) << out;
    EXPECT_EQ(d.verify(0, &out), 0u);
    EXPECT_EQ(out, "");
    CNETSTATUS st;
    int dummy;
    vozCNETverify(d.path().c_str(), "th", nullptr, &dummy, nullptr, &st);
    EXPECT_EQ(st.retcode, 504u);
    vozCNETverify(d.path().c_str(), "th", nullptr, nullptr, &dummy, &st);
    EXPECT_EQ(st.retcode, 504u);
    vozCNETverify(d.path().c_str(), "none", nullptr, nullptr, nullptr, &st);
    EXPECT_EQ(st.retcode, 543u);
}

TEST(CnetVerify, EachSingleDamageIs541) {
    struct Damage {
        const char* what;
        std::function<void(Dict&)> apply;
        uint32_t rc;
    };
    const std::vector<Damage> damages = {
        {"group deleted flag", [](Dict& d) { d.patch("grf", 18, "\x80"); }, 541},
        {"deleted groups + 1", [](Dict& d) { d.patch("wdf", 20, be(1)); }, 541},
        {"member id = word count",
         [](Dict& d) { d.patch("grv", 0, be(d.be32("wdf", 8))); }, 541},
        {"relation strength 0", [](Dict& d) { d.patch("wdv", d.firstRelation(0) + 6, std::string(1, '\0')); }, 541},
        {"relation strength 101", [](Dict& d) { d.patch("wdv", d.firstRelation(0) + 6, "\x65"); }, 541},
        {"relation code (4,1)", [](Dict& d) { d.patch("wdv", d.firstRelation(0) + 4, "\x04\x01"); }, 541},
        {"relation code (3,5)", [](Dict& d) { d.patch("wdv", d.firstRelation(0) + 4, "\x03\x05"); }, 541},
        {"word names a deleted group",
         [](Dict& d) {
             d.patch("grf", 18, "\x80");
             d.patch("wdf", 20, be(1));
         },
         541},
        {"member count above the maximum",
         [](Dict& d) { d.patch("wdf", 32, be(d.be32("wdf", 32) - 1)); }, 541},
        {"group entry strength 0", [](Dict& d) { d.patch("grv", 4, std::string(1, '\0')); }, 0},
    };
    for (const Damage& dm : damages) {
        Dict d;
        dm.apply(d);
        EXPECT_EQ(d.verify(), dm.rc) << dm.what;
    }
}

TEST(CnetVerify, DamagedWordIndexIsAnEngineCode) {
    Dict d;
    // Empty every file of the word index (the engine's "th" directory).
    int emptied = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(d.path())) {
        if (!e.is_regular_file()) continue;
        const std::string p = e.path().string();
        if (p.find("/th/") == std::string::npos && e.path().parent_path() == d.path()) continue;
        std::ofstream(p, std::ios::trunc).close();
        ++emptied;
    }
    ASSERT_GT(emptied, 0);
    const uint32_t rc = d.verify();
    EXPECT_GT(rc, 10000u);
}

const char* const kDumpFixture =
    ":WORDS:SYNONYM\n"
    "  AUTO  :50\n"
    "  CAR\n"
    ":WORDS:RELATED(5)\n"
    "  BUS\n"
    "  COACH\n"
    ":WORDS\n"
    "  .LOWER_THAN  MINIBUS  :30\n"
    "  .HIGHER_THAN  VEHICLE\n"
    "  BUS\n";

TEST(CnetDump, TextAndTermsAndOutputs) {
    Dict d;
    const std::string out = d.dir.file("out.def");
    ASSERT_EQ(d.dump(out).retcode, 0u);
    const std::string whole = readFile(out);
    EXPECT_EQ(whole, kDumpFixture);
    // Relation lines come before members; the groups in id order.
    EXPECT_NE(whole.find(":WORDS:RELATED(5)"), std::string::npos) << whole;
    EXPECT_LT(whole.find(".HIGHER_THAN"), whole.rfind("BUS")) << whole;
    EXPECT_NE(whole.find(":50"), std::string::npos) << whole;
    // A term in two groups: those two blocks, once each, in group order.
    ASSERT_EQ(d.dump(out, "bus").retcode, 0u);
    const std::string two = readFile(out);
    EXPECT_EQ(two, whole.substr(whole.find(":WORDS:RELATED"))) << two;
    // Unknown term: 552, the old output kept (with replacing).
    EXPECT_EQ(d.dump(out, "zzz").retcode, 552u);
    EXPECT_EQ(readFile(out), two);
    EXPECT_FALSE(exists(out + ".$dmp"));
    // Without replacing: 540, untouched.
    EXPECT_EQ(d.dump(out, "", 0).retcode, 540u);
    EXPECT_EQ(readFile(out), two);
    EXPECT_EQ(d.dump(std::string(2048, 'o')).retcode, 503u);
    EXPECT_EQ(d.dump(d.dir.file("new.def"), "", 0).retcode, 0u);
    EXPECT_EQ(readFile(d.dir.file("new.def")), whole);
}

// ASCII to EBCDIC (code page 037) for letters, digits, blank, ":" and
// the line end (NL).
std::string ebcdic(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        uint8_t e = 0x6F;
        if (c >= 'a' && c <= 'i') e = static_cast<uint8_t>(0x81 + (c - 'a'));
        else if (c >= 'j' && c <= 'r') e = static_cast<uint8_t>(0x91 + (c - 'j'));
        else if (c >= 's' && c <= 'z') e = static_cast<uint8_t>(0xA2 + (c - 's'));
        else if (c >= 'A' && c <= 'I') e = static_cast<uint8_t>(0xC1 + (c - 'A'));
        else if (c >= 'J' && c <= 'R') e = static_cast<uint8_t>(0xD1 + (c - 'J'));
        else if (c >= 'S' && c <= 'Z') e = static_cast<uint8_t>(0xE2 + (c - 'S'));
        else if (c >= '0' && c <= '9') e = static_cast<uint8_t>(0xF0 + (c - '0'));
        else if (c == ' ') e = 0x40;
        else if (c == ':') e = 0x7A;
        else if (c == '\n') e = 0x15;
        out.push_back(static_cast<char>(e));
    }
    return out;
}

TEST(CnetDump, EbcdicDictionaryDumpsEbcdic) {
    Dict d(ebcdic(":WORDS:SYNONYM\ncar\nauto :50\n"), 28);
    const std::string out = d.dir.file("e.def");
    ASSERT_EQ(d.dump(out).retcode, 0u);
    EXPECT_EQ(hex(readFile(out)), hex(ebcdic(":WORDS:SYNONYM\n  AUTO  :50\n  CAR\n")));
}

TEST(CnetDump, RandomDefinitionsRoundTrip) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 10; ++round) {
        TempDir t{"cnet_round", fastTempParent()};
        auto blocks = cmodel::randomBlocks(rng, 6 + static_cast<int>(rng() % 20), true);
        const std::string def = cmodel::definition(blocks);
        ASSERT_EQ(cdict::compile(t.path(), "a", def).retcode, 0u) << "seed " << seed << "\n" << def;
        CNETDEFINE out{};
        out.kind = 2;
        const std::string dumpA = t.file("a.dump"), dumpB = t.file("b.dump");
        out.fileName = dumpA.c_str();
        CNETEXEC quiet{};
        CNETSTATUS st;
        vozCNETdump(t.path().c_str(), "a", nullptr, &out, &quiet, nullptr, &st);
        ASSERT_EQ(st.retcode, 0u);
        CNETSTATUS c = cdict::compile(t.path(), "b", readFile(dumpA));
        ASSERT_EQ(c.retcode, 0u) << "seed " << seed << "\n" << readFile(dumpA);
        EXPECT_EQ(hex(cdict::liveFiles(t.path(), "a")), hex(cdict::liveFiles(t.path(), "b")))
            << "seed " << seed << "\n" << def << "\n" << readFile(dumpA);
        out.fileName = dumpB.c_str();
        vozCNETdump(t.path().c_str(), "b", nullptr, &out, &quiet, nullptr, &st);
        ASSERT_EQ(st.retcode, 0u);
        EXPECT_EQ(readFile(dumpB), readFile(dumpA)) << "seed " << seed;
    }
}

}  // namespace
