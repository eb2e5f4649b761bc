// Stop words of a creation cycle: registration, lookup by length (tables
// of up to 10 units, the long list above), the met-words answers, and the
// stop-word file byte for byte and read back.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "build/voz_stopword.hpp"
#include "creat_fixture.hpp"
#include "engine_test_util.hpp"

using namespace creatfix;

namespace {

// Units of two bytes: the character, then the mark byte 01.
std::string U(const std::string& text) {
    std::string u;
    for (char c : text) {
        u.push_back(c);
        u.push_back('\x01');
    }
    return u;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// A fixture of "offset: hex bytes" lines; unlisted bytes are zero.
std::vector<uint8_t> Fixture(const std::string& path, size_t size) {
    std::vector<uint8_t> out(size, 0);
    std::ifstream f(path);
    std::string line;
    while (std::getline(f, line)) {
        line = line.substr(0, line.find('#'));
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        size_t at = std::stoul(line.substr(0, colon));
        std::istringstream hex(line.substr(colon + 1));
        std::string b;
        while (hex >> b) out.at(at++) = static_cast<uint8_t>(std::stoul(b, nullptr, 16));
    }
    return out;
}

void Register(CREATWRK* w, uint8_t cls, const std::string& units, GTRSTATUS* st) {
    vozRegisterStopWord(w, cls, units.data(), static_cast<uint32_t>(units.size()), st);
}

int Check(CREATWRK* w, uint8_t cls, const std::string& units, GTRSTATUS* st) {
    return vozCheckStopWord(w, cls, units.data(), static_cast<uint32_t>(units.size() / 2), nullptr, st);
}

// One class with "A" and "THE" (THE registered twice).
void RegisterATheClass(CREATWRK* w, GTRSTATUS* st) {
    vozRegisterStopWordInit(w, 1, st);
    Register(w, 0, U("THE"), st);
    Register(w, 0, U("A"), st);
    Register(w, 0, U("THE"), st);
    vozRegisterStopWordTerm(w, 2, st);
}

std::string StopFile(const Cycle& c) { return c.out + "/idx/voz.STP"; }

}  // namespace

TEST(StopWord, RegisteredClassAnswersFirstThenMet) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    RegisterATheClass(c.cwp, &c.st);
    ASSERT_OK(c.st);
    const VOZSTOPCLASS& k = c.cwp->stopClasses[0];
    EXPECT_EQ(k.countByUnits[0], 1u);   // "A"
    EXPECT_EQ(k.countByUnits[2], 1u);   // "THE", once
    EXPECT_EQ(k.maxUnits, 3u);
    EXPECT_EQ(c.cwp->stopListPending, 1);
    EXPECT_EQ(Check(c.cwp, 0, U("A"), &c.st), 2);
    EXPECT_EQ(Check(c.cwp, 0, U("A"), &c.st), 4);
    EXPECT_EQ(Check(c.cwp, 0, U("THE"), &c.st), 2);
    EXPECT_EQ(Check(c.cwp, 0, U("THE"), &c.st), 4);
    EXPECT_EQ(Check(c.cwp, 0, U("B"), &c.st), 1);
    EXPECT_EQ(Check(c.cwp, 0, U("TH"), &c.st), 1);
    EXPECT_EQ(Check(c.cwp, 0, U("THEM"), &c.st), 1);  // above maxUnits
    EXPECT_EQ(vozIsStopWord(c.cwp, 0, "", 0, nullptr), 0);  // 0 units
    EXPECT_EQ(vozIsStopWord(c.cwp, 1, U("A").data(), 1, nullptr), 0);  // no class 1
    ASSERT_OK(c.st);
}

TEST(StopWord, NormalizeRewritesTheCandidateCopy) {
    Cycle c;
    c.start();
    RegisterATheClass(c.cwp, &c.st);
    ASSERT_OK(c.st);
    auto upper = [](uint8_t* w, int16_t len, int16_t width) {
        for (int i = 0; i < len; i += width) w[i] = static_cast<uint8_t>(toupper(w[i]));
    };
    std::string the = U("the");
    EXPECT_EQ(vozIsStopWord(c.cwp, 0, the.data(), 3, nullptr), 0);
    EXPECT_EQ(vozIsStopWord(c.cwp, 0, the.data(), 3, upper), 1);
    EXPECT_EQ(the, U("the"));  // the caller's word is left alone
}

TEST(StopWord, LongWordsAnswerThroughTheLongList) {
    Cycle c;
    c.start();
    vozRegisterStopWordInit(c.cwp, 2, &c.st);
    // Class 0: only words over 10 units; class 1: short words only.
    const std::vector<std::string> longs = {"ABCDEFGHIJKL", "ABCDEFGHIJK", "ZYXWVUTSRQPONM",
                                            "ABCDEFGHIJKM"};
    for (const std::string& w : longs) Register(c.cwp, 0, U(w), &c.st);
    Register(c.cwp, 1, U("OF"), &c.st);
    Register(c.cwp, 1, U("OR"), &c.st);
    Register(c.cwp, 1, U("AN"), &c.st);
    vozRegisterStopWordTerm(c.cwp, 2, &c.st);
    ASSERT_OK(c.st);
    EXPECT_EQ(c.cwp->stopClasses[0].longCount, 4u);
    EXPECT_EQ(c.cwp->stopClasses[0].maxUnits, 14u);
    for (const std::string& w : longs) {
        EXPECT_EQ(Check(c.cwp, 0, U(w), &c.st), 2) << w;
    }
    EXPECT_EQ(Check(c.cwp, 0, U("ABCDEFGHIJKZ"), &c.st), 1);
    EXPECT_EQ(Check(c.cwp, 0, U("ABCDEFGHIJ"), &c.st), 1);  // 10 units: no table
    for (const char* w : {"AN", "OF", "OR"}) {
        EXPECT_EQ(Check(c.cwp, 1, U(w), &c.st), 2) << w;
    }
    EXPECT_EQ(Check(c.cwp, 1, U("ON"), &c.st), 1);
    EXPECT_EQ(Check(c.cwp, 1, U("ABCDEFGHIJKL"), &c.st), 1);
    ASSERT_OK(c.st);
}

// A long word is kept NUL-terminated, so one holding a 0 byte is dropped
// when the tables are built. Kept, its shorter string length put the long
// list out of order and hid other long words from the binary search.
TEST(StopWord, LongWordHoldingAZeroByteIsDroppedAndHidesNoOther) {
    Cycle c;
    c.start();
    vozRegisterStopWordInit(c.cwp, 1, &c.st);
    std::string zero = U("ABCDEFGHIJKL");
    zero[1] = '\0';  // the mark byte of the first unit
    Register(c.cwp, 0, zero, &c.st);
    const std::vector<std::string> longs = {"ABCDEFGHIJKLMN", "ABCDEFGHIJK",
                                            "BCDEFGHIJKLM", "ZYXWVUTSRQPONM"};
    for (const std::string& w : longs) Register(c.cwp, 0, U(w), &c.st);
    vozRegisterStopWordTerm(c.cwp, 2, &c.st);
    ASSERT_OK(c.st);
    EXPECT_EQ(c.cwp->stopClasses[0].longCount, 4u);
    for (const std::string& w : longs) EXPECT_EQ(Check(c.cwp, 0, U(w), &c.st), 2) << w;
    EXPECT_EQ(Check(c.cwp, 0, zero, &c.st), 1);
    ASSERT_EQ(vozWriteStopWordFile(c.cwp, &c.st), 0);
    vozFreeStopWords(c.cwp);
    ASSERT_EQ(vozReadStopWordFile(c.cwp, &c.st), 0);
    ASSERT_OK(c.st);
    for (const std::string& w : longs) EXPECT_EQ(Check(c.cwp, 0, U(w), &c.st), 2) << w;
}

TEST(StopWord, FileIsWrittenByteForByteAndReadsBackTheSameAnswers) {
    Cycle c;
    c.start();
    RegisterATheClass(c.cwp, &c.st);
    ASSERT_EQ(vozWriteStopWordFile(c.cwp, &c.st), 0);
    ASSERT_OK(c.st);
    std::vector<uint8_t> bytes = FileBytes(StopFile(c));
    ASSERT_EQ(bytes.size(), 200u);
    std::string fixture = std::string(TI_TEST_DATA) + "/build/stopword_a_the.txt";
    EXPECT_EQ(hexGroups(bytes, 16), hexGroups(Fixture(fixture, 200), 16));

    // A class with long words round-trips as well.
    Cycle d;
    d.start();
    vozRegisterStopWordInit(d.cwp, 2, &d.st);
    Register(d.cwp, 0, U("A"), &d.st);
    Register(d.cwp, 1, U("ABCDEFGHIJKLM"), &d.st);
    Register(d.cwp, 1, U("ABCDEFGHIJK"), &d.st);
    Register(d.cwp, 1, U("NO"), &d.st);
    vozRegisterStopWordTerm(d.cwp, 2, &d.st);
    ASSERT_EQ(vozWriteStopWordFile(d.cwp, &d.st), 0);
    vozFreeStopWords(d.cwp);
    ASSERT_EQ(vozReadStopWordFile(d.cwp, &d.st), 0);
    ASSERT_OK(d.st);
    EXPECT_EQ(d.cwp->stopListPending, 0);
    ASSERT_EQ(d.cwp->stopClassCount, 2);
    EXPECT_EQ(Check(d.cwp, 0, U("A"), &d.st), 2);
    EXPECT_EQ(Check(d.cwp, 1, U("ABCDEFGHIJKLM"), &d.st), 2);
    EXPECT_EQ(Check(d.cwp, 1, U("ABCDEFGHIJK"), &d.st), 2);
    EXPECT_EQ(Check(d.cwp, 1, U("ABCDEFGHIJKL"), &d.st), 1);
    EXPECT_EQ(Check(d.cwp, 1, U("NO"), &d.st), 2);
    EXPECT_EQ(Check(d.cwp, 1, U("A"), &d.st), 1);

    // Read back: the same answers, and nothing is written at commit.
    vozFreeStopWords(c.cwp);
    ASSERT_EQ(vozReadStopWordFile(c.cwp, &c.st), 0);
    ASSERT_OK(c.st);
    EXPECT_EQ(Check(c.cwp, 0, U("A"), &c.st), 2);
    EXPECT_EQ(Check(c.cwp, 0, U("A"), &c.st), 4);
    EXPECT_EQ(Check(c.cwp, 0, U("THE"), &c.st), 2);
    EXPECT_EQ(Check(c.cwp, 0, U("B"), &c.st), 1);
    ASSERT_EQ(remove(StopFile(c).c_str()), 0);
    ASSERT_EQ(vozWriteStopWordFile(c.cwp, &c.st), 0);
    struct stat sb;
    EXPECT_NE(stat(StopFile(c).c_str(), &sb), 0);
}

TEST(StopWord, DamagedFilesAreRefused) {
    Cycle c;
    c.start();
    RegisterATheClass(c.cwp, &c.st);
    ASSERT_EQ(vozWriteStopWordFile(c.cwp, &c.st), 0);
    std::vector<uint8_t> good = FileBytes(StopFile(c));
    struct Case {
        const char* what;
        size_t truncate;     // 0: keep the length
        size_t at;           // byte to set, or 0
        uint8_t value;
        int32_t rc, ec;
    };
    const Case cases[] = {
        {"missing", 0, 0, 0, 3, 2201},
        {"header cut", 40, 0, 0, 4, 2202},
        {"class record cut", 150, 0, 0, 4, 2205},
        {"words cut", 197, 0, 0, 17, 2248},
        {"count past the end", 0, 64 + 3, 0x70, 17, 2248},
        {"unit width 0", 0, 64 + 53, 0, 17, 2248},
        {"long bytes without words", 0, 64 + 51, 4, 17, 2248},
    };
    for (const Case& k : cases) {
        std::vector<uint8_t> b = good;
        if (k.truncate != 0) b.resize(k.truncate);
        if (k.at != 0) b[k.at] = k.value;
        remove(StopFile(c).c_str());
        if (std::string(k.what) != "missing") {
            std::ofstream(StopFile(c), std::ios::binary)
                .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        }
        GTRSTATUS st{};
        EXPECT_EQ(vozReadStopWordFile(c.cwp, &st), -1) << k.what;
        EXPECT_RC(st, k.rc, k.ec) << k.what;
        vozFreeStopWords(c.cwp);  // what was read stays freeable
    }
}

TEST(StopWord, NoClassesWriteNothing) {
    Cycle c;
    c.start();
    ASSERT_EQ(vozRegisterStopWordInit(c.cwp, 0, &c.st), 0);
    ASSERT_EQ(vozRegisterStopWordTerm(c.cwp, 2, &c.st), 0);
    EXPECT_EQ(c.cwp->stopListPending, 1);
    EXPECT_EQ(Check(c.cwp, 0, U("A"), &c.st), 1);
    ASSERT_EQ(vozWriteStopWordFile(c.cwp, &c.st), 0);
    struct stat sb;
    EXPECT_NE(stat(StopFile(c).c_str(), &sb), 0);
}

TEST(StopWord, SortStringOrdersByLengthThenBytes) {
    char a[] = "BB", b[] = "A", c[] = "AB", d[] = "CCC", e[] = "C";
    char* words[] = {a, b, c, d, e};
    vozSortString(words, 5);
    std::vector<std::string> got(words, words + 5);
    EXPECT_EQ(got, (std::vector<std::string>{"A", "C", "AB", "BB", "CCC"}));
    vozSortString(nullptr, 3);
}

TEST(StopWord, RandomListsAgreeWithASetModelAndSurviveTheFile) {
    uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto word = [&]() {
        std::uniform_int_distribution<int> len(1, 14), ch(0, 2);
        std::string w;
        for (int n = len(rng); n > 0; --n) w.push_back(static_cast<char>('A' + ch(rng)));
        return U(w);
    };
    Cycle c;
    c.start();
    const int classes = 3;
    vozRegisterStopWordInit(c.cwp, classes, &c.st);
    std::vector<std::set<std::string>> model(classes);
    for (int i = 0; i < 600; ++i) {
        int cls = static_cast<int>(rng() % classes);
        std::string w = word();
        model[cls].insert(w);
        Register(c.cwp, static_cast<uint8_t>(cls), w, &c.st);
    }
    vozRegisterStopWordTerm(c.cwp, 2, &c.st);
    ASSERT_OK(c.st);
    ASSERT_EQ(vozWriteStopWordFile(c.cwp, &c.st), 0);
    std::vector<std::string> probes;
    for (int i = 0; i < 2000; ++i) probes.push_back(word());
    for (const auto& m : model) probes.insert(probes.end(), m.begin(), m.end());
    for (int round = 0; round < 2; ++round) {  // as registered, then as read
        std::set<std::string> met;
        for (const std::string& w : probes) {
            int cls = static_cast<int>(rng() % classes);
            int want = !model[cls].count(w) ? 1 : (met.insert(w).second ? 2 : 4);
            ASSERT_EQ(Check(c.cwp, static_cast<uint8_t>(cls), w, &c.st), want)
                << "round " << round << " class " << cls << " " << w;
        }
        vozFreeStopWords(c.cwp);
        ASSERT_EQ(vozReadStopWordFile(c.cwp, &c.st), 0);
        ASSERT_OK(c.st);
    }
}
