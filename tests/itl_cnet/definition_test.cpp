// Tests of definition files: the reader against a table of texts and the
// blocks or errors they give, line handling and warnings (exact standard
// error), the EBCDIC byte form, the writer's exact lines and a randomized
// write-and-read-back round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "calls/voz_wordcalls.hpp"
#include "cnet_def.hpp"
#include "cnet_test_util.hpp"
#include "ti_test_util.hpp"

namespace {

// ASCII to EBCDIC (code page 037) for the characters the fixtures use;
// '\n' becomes NL (0x15).
uint8_t toEbcdic(char c) {
    if (c >= 'a' && c <= 'i') return static_cast<uint8_t>(0x81 + (c - 'a'));
    if (c >= 'j' && c <= 'r') return static_cast<uint8_t>(0x91 + (c - 'j'));
    if (c >= 's' && c <= 'z') return static_cast<uint8_t>(0xA2 + (c - 's'));
    if (c >= 'A' && c <= 'I') return static_cast<uint8_t>(0xC1 + (c - 'A'));
    if (c >= 'J' && c <= 'R') return static_cast<uint8_t>(0xD1 + (c - 'J'));
    if (c >= 'S' && c <= 'Z') return static_cast<uint8_t>(0xE2 + (c - 'S'));
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(0xF0 + (c - '0'));
    switch (c) {
        case ' ': return 0x40;
        case ':': return 0x7A;
        case '.': return 0x4B;
        case '(': return 0x4D;
        case ')': return 0x5D;
        case '*': return 0x5C;
        case '#': return 0x7B;
        case '_': return 0x6D;
        case '\n': return 0x15;
        default: return 0x6F;  // '?'
    }
}

std::string ebcdic(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out.push_back(static_cast<char>(toEbcdic(c)));
    return out;
}

std::string ascii(const std::string& ebcdicText) {
    std::string out;
    for (unsigned char e : ebcdicText) {
        char found = '?';
        for (int c = 1; c < 128; ++c)
            if (toEbcdic(static_cast<char>(c)) == e && e != 0x6F) found = static_cast<char>(c);
        out.push_back(found);
    }
    return out;
}

std::string display(const DEFCTL& ctl, const DEFWORD& w) {
    uint8_t out[256];
    int32_t len = 0;
    GTRSTATUS gs;
    GTRunnormalizeWord(ctl.codepage, ctl.text + w.offset, static_cast<int32_t>(w.length), out,
                       192, &len, 1, &gs);
    if (gs.retcode != 0) return "<unnormalize " + std::to_string(gs.retcode) + ">";
    std::string s(reinterpret_cast<char*>(out), static_cast<size_t>(len));
    return cnetDefIsEbcdic(ctl.codepage) ? ascii(s) : s;
}

// The engine's normaliser folds case: words read back display in capitals.
std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string relText(CNETREL r) {
    return "(" + std::to_string(r.category) + "," + std::to_string(r.id) + ")";
}

// One block in canonical text: "rel: word strength rel; ...".
std::string blockText(const DEFCTL& ctl) {
    std::string s = relText(ctl.blockRel) + ":";
    for (uint32_t i = 0; i < ctl.count; ++i) {
        const DEFWORD& w = ctl.words[i];
        s += " " + display(ctl, w) + " " + std::to_string(w.strength);
        if (w.rel.category != 255) s += " " + relText(w.rel);
        s += i + 1 < ctl.count ? ";" : "";
    }
    return s;
}

struct ReadResult {
    std::vector<std::string> blocks;
    std::string error;  // "567/reason@line" or "" when read to the end
    std::string err;    // standard error
};

// Reads a whole definition file of `bytes` under `codepage`.
ReadResult readAll(const std::string& bytes, uint8_t codepage,
                   const CNETEXEC* opts = nullptr, std::string* pathOut = nullptr) {
    static TempDir dir("cnet_def", fastTempParent());
    static int serial = 0;
    std::string path = dir.file("def" + std::to_string(++serial) + ".txt");
    if (pathOut != nullptr) *pathOut = path;
    writeFile(path, bytes);
    ReadResult r;
    r.err = capture([&] {
                CNETDEFINE def{};
                def.kind = CNET_DEFINE_KIND_FILE;
                def.fileName = path.c_str();
                DEFCTL* ctl = static_cast<DEFCTL*>(std::calloc(1, sizeof(DEFCTL)));
                CNETSTATUS st{};
                if (cnetDefOpen(ctl, &def, codepage, "rb", &st)) {
                    for (int guard = 0; guard < 1000; ++guard) {
                        if (!cnetDefRead(ctl, opts, &st)) break;
                        if (ctl->memberCount == 0) break;
                        r.blocks.push_back(blockText(*ctl));
                    }
                }
                cnetDefClose(ctl, nullptr);
                std::free(ctl);
                if (st.retcode != 0)
                    r.error = std::to_string(st.retcode) + "/" + std::to_string(st.errcode) +
                              "@" + std::to_string(st.line);
            }).err;
    return r;
}

TEST(CnetDefinition, LinesToBlocksOrReasons) {
    struct Case {
        const char* what;
        std::string text;
        std::string result;  // the first block, or the error
    } cases[] = {
        {"strength after a separator", ":WORDS:SYNONYM\n car :50\n auto\n",
         "(3,1): auto 100; car 50"},
        {"a mark inside a word", ":WORDS:SYNONYM\ncar:50\nauto\n", "(3,1): auto 100; car:50 100"},
        {"strength 0", ":WORDS:SYNONYM\n car :0\nauto\n", "567/10@2"},
        {"mark without strength", ":WORDS:SYNONYM\n car :\nauto\n", "567/9@2"},
        {"strength with a letter", ":WORDS:SYNONYM\n car :5a\nauto\n", "567/9@2"},
        {"strength 101", ":WORDS:SYNONYM\nauto\n car :101\n", "567/10@3"},
        {"user number 129", ":WORDS\n.RELATED_TO(129) x\ncar\n", "567/6@2"},
        {"digit after the keyword", ":WORDS\n.RELATED_TO5 x\ncar\n", "567/4@2"},
        {"no close bracket", ":WORDS\n.RELATED_TO(5 x\ncar\n", "567/5@2"},
        {"user number on :SYNONYM", ":WORDS:SYNONYM(2)\ncar\nauto\n", "567/3@1"},
        {"unknown block keyword", ":WORDS:ANTONYM\ncar\nauto\n", "567/3@1"},
        {"unknown line keyword", ":WORDS\n.OPPOSITE_OF x\ncar\n", "567/3@2"},
        {"user relation 5", ":WORDS\n.RELATED_TO(5) x\ncar\n", "(0,0): car 100; x 100 (3,132)"},
        {"65-byte word", ":WORDS:SYNONYM\n" + std::string(65, 'w') + "\nauto\n", "567/8@2"},
        {"64-byte word", ":WORDS:SYNONYM\n" + std::string(64, 'w') + "\nauto\n",
         "(3,1): auto 100; " + std::string(64, 'w') + " 100"},
        {"short head", ":WORD\ncar\n", "567/2@1"},
        {"no head", "car\nauto\n", "567/2@1"},
        {"relation keyword alone", ":WORDS\n.SYNONYM_OF\ncar\n", "567/7@2"},
        {"lower and higher", ":WORDS\n.LOWER_THAN  low\n.HIGHER_THAN high :20\ncar\n",
         "(0,0): car 100; high 20 (1,1); low 100 (2,1)"},
        {"separator after the head", ":WORDS :SYNONYM\ncar\nauto\n", ""},
        {"member and relation word alike", ":WORDS\ncar\n.SYNONYM_OF car\nauto\n",
         "(0,0): auto 100; car 100 (3,1)"},
    };
    for (const Case& c : cases) {
        ReadResult r = readAll(c.text, 8);
        std::string got = !r.error.empty() ? r.error : r.blocks.empty() ? "" : r.blocks[0];
        EXPECT_EQ(got, upper(c.result)) << c.what;
    }
}

TEST(CnetDefinition, LongLinesCommentsAndWarnings) {
    std::string path;
    std::string longComment = "*" + std::string(299, 'x') + "\n";
    std::string longMember = "car" + std::string(297, ' ') + "\n";  // 300 bytes
    std::string exact255 = "auto" + std::string(251, ' ') + "\n";   // 255 before LF
    ReadResult r = readAll(longComment + ":WORDS:SYNONYM\n" + longMember + exact255 +
                               "#" + std::string(400, 'y') + "\n",
                           8, nullptr, &path);
    EXPECT_EQ(r.error, "");
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.blocks[0], upper("(3,1): auto 100; car 100"));
    EXPECT_EQ(r.err, path + ": vozC701W: Warning: line 3: Too long line.  Truncated.\n" +
                         path + ": vozC701W: Warning: line 4: Too long line.  Truncated.\n");

    // Warnings 702, 703 (one member under a block relation; two without
    // any relation) and 705, in reading order.
    r = readAll(":WORDS:SYNONYM\n.SYNONYM_OF x\n"   // 1-2: no member
                ":WORDS:SYNONYM\nlonely\n"          // 3-4: one member, no relation line
                ":WORDS\na\nb\n"                    // 5-7: no relation at all
                ":WORDS:SYNONYM\ncar\nauto\nbus\ncar :40\n",  // 8-12
                8, nullptr, &path);
    EXPECT_EQ(r.error, "");
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.blocks[0], upper("(3,1): auto 100; bus 100; car 40"));
    EXPECT_EQ(r.err,
              path + ": vozC702W: Warning: line 1: No member is defined.  Group definition "
                     "block is ignored.\n" +
                  path + ": vozC703W: Warning: line 3: No relation is defined.  Group "
                         "definition block is ignored.\n" +
                  path + ": vozC703W: Warning: line 5: No relation is defined.  Group "
                         "definition block is ignored.\n" +
                  path + ": vozC705W: Warning: line 9: Equivalent to the word in line 12.  "
                         "Discarded.\n");

    // Warnings only under bit 0x4 (or null options).
    CNETEXEC quiet{};
    quiet.flags = CNET_EXEC_PROGRESS;
    r = readAll(":WORDS:SYNONYM\nlonely\n", 8, &quiet);
    EXPECT_EQ(r.err, "");
}

TEST(CnetDefinition, WordOnLinesTwoAndFiveKeepsLineFive) {
    std::string path;
    ReadResult r = readAll(":WORDS:SYNONYM\ncar :30\nauto\nbus\ncar :70\n", 8, nullptr, &path);
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.blocks[0], upper("(3,1): auto 100; bus 100; car 70"));
    EXPECT_EQ(r.err, path + ": vozC705W: Warning: line 2: Equivalent to the word in line 5.  "
                            "Discarded.\n");
}

// A member that is also the block's later relation-line word stays only as
// the relation-line word. A block left without members is dropped with
// warning 702; it used to come back empty, which reads as the end of the
// file, and every later block was lost.
TEST(CnetDefinition, BlockLeftWithoutMembersIsDroppedNotTheEnd) {
    std::string path;
    ReadResult r = readAll(":WORDS\na\n.SYNONYM_OF a\n:WORDS:SYNONYM\ncar\nauto\n", 8,
                           nullptr, &path);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.blocks, std::vector<std::string>{upper("(3,1): auto 100; car 100")});
    EXPECT_EQ(r.err,
              path + ": vozC705W: Warning: line 2: Equivalent to the word in line 3.  "
                     "Discarded.\n" +
                  path + ": vozC702W: Warning: line 1: No member is defined.  Group "
                         "definition block is ignored.\n");
}

TEST(CnetDefinition, CrLfNumbersLinesAsLf) {
    std::string lf = "* comment\n:WORDS:SYNONYM\ncar\n\nauto\n car :0\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(readAll(lf, 8).error, "567/10@6");
    EXPECT_EQ(readAll(crlf, 8).error, "567/10@6");
    // Warnings name the same lines too.
    std::string lf2 = "\n:WORDS:SYNONYM\nlonely\n:WORDS:SYNONYM\na\nb\na\n";
    std::string crlf2;
    for (char c : lf2) crlf2 += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string p1, p2;
    std::string e1 = readAll(lf2, 8, nullptr, &p1).err;
    std::string e2 = readAll(crlf2, 8, nullptr, &p2).err;
    auto unname = [](std::string e, const std::string& p) {
        for (size_t at; (at = e.find(p)) != std::string::npos;) e.replace(at, p.size(), "F");
        return e;
    };
    EXPECT_EQ(unname(e1, p1),
              "F: vozC703W: Warning: line 2: No relation is defined.  Group definition block "
              "is ignored.\n"
              "F: vozC705W: Warning: line 5: Equivalent to the word in line 7.  Discarded.\n");
    EXPECT_EQ(unname(e2, p2), unname(e1, p1));
}

const char* const kFixture =
    "* a small thesaurus\n"
    ":WORDS:SYNONYM\n"
    "car\n"
    "auto :50\n"
    ".RELATED_TO(5)  wheel :20\n"
    ":WORDS:RELATED(3)\n"
    "bus\n"
    "tram\n"
    ":WORDS\n"
    ".LOWER_THAN minibus\n"
    ".HIGHER_THAN vehicle :90\n"
    "bus\n";

TEST(CnetDefinition, EbcdicFixtureReadsAsTheSameBlocks) {
    ReadResult base = readAll(kFixture, 8);
    ASSERT_EQ(base.error, "");
    ASSERT_EQ(base.blocks.size(), 3u);
    EXPECT_EQ(base.blocks[0], upper("(3,1): auto 50; car 100; wheel 20 (3,132)"));
    EXPECT_EQ(base.blocks[1], upper("(3,130): bus 100; tram 100"));
    EXPECT_EQ(base.blocks[2], upper("(0,0): bus 100; minibus 100 (2,1); vehicle 90 (1,1)"));
    for (uint8_t cp : {28, 33}) {
        ReadResult r = readAll(ebcdic(kFixture), cp);
        EXPECT_EQ(r.error, "") << int(cp);
        EXPECT_EQ(r.blocks, base.blocks) << int(cp);
        EXPECT_EQ(r.err, "") << int(cp);
    }
    // The second comment mark of codes 28 and 33.
    std::string block = ebcdic(":WORDS:SYNONYM\ncar\n");
    std::string tail = ebcdic("auto\n");
    EXPECT_EQ(readAll(block + "\xEC" "xx\x15" + tail, 28).blocks,
              std::vector<std::string>{upper("(3,1): auto 100; car 100")});
    EXPECT_EQ(readAll(block + "\x63" "xx\x15" + tail, 33).blocks,
              std::vector<std::string>{upper("(3,1): auto 100; car 100")});
    // In the row of code 33, 0x63 replaces 0x7B, which is a word there.
    EXPECT_EQ(readAll(block + "\x7B" "xx\x15" + tail, 33).blocks,
              std::vector<std::string>{"(3,1): AUTO 100; CAR 100; #XX 100"});
}

// Normalises an ASCII word for code page 8.
std::string normalized(const char* word, uint8_t cp = 8) {
    uint8_t out[256];
    int32_t len = 0;
    GTRSTATUS gs;
    GTRnormalizeWord(cp, reinterpret_cast<const uint8_t*>(word),
                     static_cast<int32_t>(std::strlen(word)), out, sizeof out, &len, 1, &gs);
    EXPECT_EQ(gs.retcode, 0) << word;
    return std::string(reinterpret_cast<char*>(out), static_cast<size_t>(len));
}

struct Writer {
    TempDir dir{"cnet_defw", fastTempParent()};
    std::string path = dir.file("out.txt");
    DEFCTL* ctl = static_cast<DEFCTL*>(std::calloc(1, sizeof(DEFCTL)));
    CNETSTATUS st{};
    explicit Writer(uint8_t cp = 8) {
        CNETDEFINE def{};
        def.kind = CNET_DEFINE_KIND_FILE;
        def.fileName = path.c_str();
        EXPECT_TRUE(cnetDefOpen(ctl, &def, cp, "w", &st));
    }
    ~Writer() {
        cnetDefClose(ctl, nullptr);
        std::free(ctl);
    }
    void add(const std::string& norm, uint8_t strength, CNETREL rel) {
        ASSERT_TRUE(cnetDefAddEntry(ctl, reinterpret_cast<const uint8_t*>(norm.data()),
                                    static_cast<uint32_t>(norm.size()), strength, rel, &st));
    }
    std::string close() {
        EXPECT_TRUE(cnetDefClose(ctl, &st));
        return readFile(path);
    }
};

// Key units of a word as they are (character, class 2), without the
// normaliser's case folding.
std::string units(const char* word) {
    std::string s;
    for (; *word != '\0'; ++word) s += std::string(1, *word) + "\x02";
    return s;
}

TEST(CnetDefinition, WriterWritesExactLines) {
    Writer w;
    w.ctl->blockRel = {3, 132};
    w.add(units("auto"), 50, {255, 0});
    w.add(units("car"), 100, {3, 1});
    ASSERT_TRUE(cnetDefWrite(w.ctl, nullptr, &w.st));
    EXPECT_EQ(w.close(), ":WORDS:RELATED(5)\n  .SYNONYM_OF  car\n  auto  :50\n");

    Writer u;
    u.ctl->blockRel = {3, 1};
    u.add(normalized("low"), 7, {2, 130});
    u.add(normalized("up"), 100, {1, 1});
    u.add(normalized("a"), 100, {255, 0});
    ASSERT_TRUE(cnetDefWrite(u.ctl, nullptr, &u.st));
    EXPECT_EQ(u.close(),
              ":WORDS:SYNONYM\n  .LOWER_THAN(3)  LOW  :7\n  .HIGHER_THAN  UP\n  A\n");
}

// Random blocks with every keyword, user numbers and strengths, written
// and read back: the same sorted word lists and block relations.
TEST(CnetDefinition, RandomBlocksWriteAndReadBack) {
    std::mt19937 rng(testSeed());
    for (uint8_t cp : {8, 34, 28}) {
        for (int round = 0; round < 30; ++round) {
            Writer w(cp);
            std::vector<std::string> expected;
            int blocks = 1 + static_cast<int>(rng() % 6);
            for (int b = 0; b < blocks; ++b) {
                cnetDefClearBlock(w.ctl);
                const CNETREL blockRels[] = {{0, 0}, {3, 1}, {3, 2},
                                             {3, static_cast<uint8_t>(128 + rng() % 128)}};
                w.ctl->blockRel = blockRels[rng() % 4];
                int members = 1 + static_cast<int>(rng() % 5);
                int lines = static_cast<int>(rng() % 4);
                if (lines == 0 && (members < 2 || w.ctl->blockRel.category == 0)) lines = 1;
                std::vector<std::string> used;
                for (int i = 0; i < members + lines; ++i) {
                    std::string word;
                    do {
                        word.clear();
                        int len = 1 + static_cast<int>(rng() % 10);
                        for (int k = 0; k < len; ++k) word += static_cast<char>('a' + rng() % 26);
                    } while (std::find(used.begin(), used.end(), word) != used.end());
                    used.push_back(word);
                    std::string bytes = cnetDefIsEbcdic(cp) ? ebcdic(word) : word;
                    uint8_t strength = rng() % 3 == 0 ? 100 : static_cast<uint8_t>(1 + rng() % 100);
                    CNETREL rel{255, 0};
                    if (i >= members) {
                        uint8_t cat = static_cast<uint8_t>(1 + rng() % 3);
                        uint8_t id = rng() % 2 ? static_cast<uint8_t>(128 + rng() % 128)
                                               : (cat == 3 ? static_cast<uint8_t>(1 + rng() % 2) : 1);
                        rel = {cat, id};
                    }
                    w.add(normalized(bytes.c_str(), cp), strength, rel);
                }
                ASSERT_TRUE(cnetDefWrite(w.ctl, nullptr, &w.st)) << w.st.retcode;
                // What the reader must give: the same words, sorted as it sorts.
                DEFWORD* words = w.ctl->words;
                const uint8_t* text = w.ctl->text;
                std::sort(words, words + w.ctl->count, [text](const DEFWORD& x, const DEFWORD& y) {
                    return cnetWordCmp(text + x.offset, x.length, text + y.offset, y.length) < 0;
                });
                std::stable_partition(words, words + w.ctl->count,
                                      [](const DEFWORD& x) { return x.rel.category == 255; });
                expected.push_back(blockText(*w.ctl));
            }
            w.close();
            ReadResult r = readAll(readFile(w.path), cp);
            ASSERT_EQ(r.error, "") << int(cp) << " round " << round;
            ASSERT_EQ(r.blocks, expected) << int(cp) << " round " << round;
            EXPECT_EQ(r.err, "");
        }
    }
}

TEST(CnetDefinition, OpenAndWriteFailures) {
    DEFCTL* ctl = static_cast<DEFCTL*>(std::calloc(1, sizeof(DEFCTL)));
    CNETSTATUS st{};
    CNETDEFINE def{};
    def.kind = CNET_DEFINE_KIND_FILE;
    def.fileName = "/nonexistent/dir/defs.txt";
    EXPECT_FALSE(cnetDefOpen(ctl, &def, 8, "rb", &st));
    EXPECT_EQ(st.retcode, 510u);
    EXPECT_STREQ(st.fname1, def.fileName);
    cnetDefClose(ctl, nullptr);
    st = {};
    def.kind = 1;
    EXPECT_FALSE(cnetDefOpen(ctl, &def, 8, "rb", &st));
    EXPECT_EQ(st.retcode, 503u);
    cnetDefClose(ctl, nullptr);
    std::free(ctl);

    Writer w;
    w.add(normalized("car"), 100, {255, 0});
    ScopedHooks hooks;
    hooks.refuse["write"] = {ENOSPC, -1};
    EXPECT_FALSE(cnetDefWrite(w.ctl, nullptr, &w.st));
    EXPECT_EQ(w.st.retcode, 512u);
    EXPECT_EQ(w.st.fname1, w.path);
}

}  // namespace
