// Whole update cycles through the public calls, read back through the
// storage's key-file and position readers: words as keys at the positions
// the raw cutting counts, documents fed in pieces, delimiters and fields,
// a new index over an old one.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "build/createend_fixture.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_btrace.hpp"
#include "calls/voz_rawcut.hpp"
#include "gtrcreate_fixture.hpp"

namespace {

namespace fs = std::filesystem;
using endfix::Half;
using endfix::ReadHalf;

using gtrfix::HParm;

// A cycle's directories with the text sub-index read back.
struct Env : gtrfix::Env {
    Half read() {
        EXPECT_EQ(st.retcode, 0) << st.errcode << " " << st.errfname1;
        GTRSTATUS rs{};
        Half half = ReadHalf(out, VOZ_HALF_MAIN, &rs);
        EXPECT_EQ(rs.retcode, 0) << rs.errcode;
        return half;
    }
};

using Postings = std::map<int32_t, std::vector<int32_t>>;

// The word keys of a half as lower-case text, postings merged over case.
// Keys are stored in two-byte units; an ASCII letter of the UTF-8 code
// page is (0x21, letter & 0x3F | case bits): a variable key whose units
// all read as A-Z is a word.
std::map<std::string, Postings> wordsOf(const Half& half) {
    std::map<std::string, Postings> words;
    for (const auto& [key, docs] : half.lists) {
        if (key.empty() || key[0] != 'V') continue;
        std::string bytes = key.substr(1);
        while (bytes.size() >= 2 && bytes[bytes.size() - 1] == '\0' &&
               bytes[bytes.size() - 2] == '\0')
            bytes.resize(bytes.size() - 2);
        std::string word;
        bool letters = !bytes.empty() && bytes.size() % 2 == 0;
        for (size_t i = 0; i < bytes.size() && letters; i += 2) {
            const char c = static_cast<char>((bytes[i + 1] & 0x3F) | 0x40);
            letters = bytes[i] == 0x21 && c >= 'A' && c <= 'Z';
            word += static_cast<char>(tolower(c));
        }
        if (!letters) continue;
        for (const auto& [doc, pos] : docs) {
            std::vector<int32_t>& v = words[word][doc];
            v.insert(v.end(), pos.begin(), pos.end());
            std::sort(v.begin(), v.end());
        }
    }
    return words;
}

// The oracle: runs of letters (at most 128) as the raw cutting counts
// positions over the document's lines, stripped, the counter carried on.
void modelOf(const std::string& text, int32_t docno,
             std::map<std::string, Postings>* words, int32_t* count) {
    std::istringstream in(text);
    std::string line;
    int32_t pos = 0;
    while (std::getline(in, line)) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(line.data());
        const uint8_t* end = p + line.size();
        uint8_t state = 0;
        while (p < end) {
            const uint8_t *ps, *pe, *next;
            const int32_t n = vozCutIntoPartRawA(p, end, nullptr, 34, 0x40, &ps,
                                                 &pe, &next, nullptr, &state,
                                                 nullptr);
            if (n > 0 && isalpha(*ps)) {
                std::string w;
                for (const uint8_t* q = ps; q < pe; ++q)
                    w += static_cast<char>(tolower(*q));
                (*words)[w][docno].push_back(pos + 1);
            }
            pos += n;
            if (next <= p) break;
            p = next;
        }
    }
    *count = pos;
}

// The lists of a half as a comparable map.
std::map<std::string, Postings> listsOf(const Half& half) {
    std::map<std::string, Postings> m;
    for (const auto& [k, d] : half.lists) m[k] = d;
    return m;
}

}  // namespace

TEST(GtrCycle, DocumentInThreeCallsEqualsOneCall) {
    const std::string whole = "Alpha, beta gamma; delta epsilon";
    const std::vector<std::string> pieces = {"Alpha, beta", " gamma; delta",
                                             " epsilon"};
    std::map<std::string, Postings> once, thrice;
    {
        Env env;
        env.init();
        int32_t start = 0;
        env.doc(whole, 3, &start);
        EXPECT_EQ(start, 28);
        env.finish();
        once = listsOf(env.read());
    }
    {
        Env env;
        env.init();
        int32_t start = 0;
        for (const std::string& p : pieces) env.doc(p, 3, &start);
        EXPECT_EQ(start, 28);
        env.finish();
        thrice = listsOf(env.read());
        EXPECT_TRUE(env.tempDirs().empty());
    }
    EXPECT_EQ(once, thrice);
    EXPECT_EQ(once["slot38"], (Postings{{3, {28}}}));
}

TEST(GtrCycle, DelimitersAndFieldsBecomeKeysAtTheirPositions) {
    Env env;
    env.init();
    const std::string text = "one two. three";
    uint8_t* t = reinterpret_cast<uint8_t*>(const_cast<char*>(text.data()));
    int16_t nos[2] = {5, 7};
    uint8_t* at[2] = {t + 4, t + 9};      // "two" 4-6, "three" 8-12
    FLDBOUNDARYINFO f[1];
    memset(f, 0, sizeof f);
    f[0].fld_number = 0x0102;
    f[0].fld_start_ptr = t + 4;
    f[0].fld_end_ptr = t + 14;
    BOUNDARYINFO b;
    memset(&b, 0, sizeof b);
    b.delimiter_num = 2;
    b.delimiter_NO = nos;
    b.boundary_ptr = at;
    b.fld_boundary_num = 1;
    b.fld_boundary = f;
    int32_t start = 0;
    env.doc(text, 1, &start, &b);
    env.finish();
    const Half half = env.read();
    std::map<std::string, Postings> lists = listsOf(half);
    EXPECT_EQ(lists["slot5"], (Postings{{1, {4}}}));
    EXPECT_EQ(lists["slot7"], (Postings{{1, {8}}}));
    EXPECT_EQ(lists["slot0"], (Postings{{1, {8}}}));   // after "two."
    // The field number key (number >> 8, 0x0E, number & 0xFF, 0x0E, 0, 0)
    // at the field's start and at the position after its end.
    const std::string fieldKey("D\x01\x0E\x02\x0E\0\0", 7);
    bool found = false;
    for (const auto& [k, d] : lists) {
        if (k.size() == 7 && k.compare(1, 6, fieldKey, 1, 6) == 0) {
            EXPECT_EQ(d, (Postings{{1, {4, 13}}})) << k[0];
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST(GtrCycle, SourceFilesReadBackAsTheirWords) {
    const fs::path root = fs::path(TI_TEST_DATA) / ".." / ".." / "..";
    std::vector<fs::path> files;
    for (const char* dir : {"source", "cos", "tests"}) {
        for (const auto& e : fs::recursive_directory_iterator(root / dir)) {
            const std::string ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".cpp" || ext == ".hpp"))
                files.push_back(e.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::map<std::string, Postings> model;
    std::map<int32_t, int32_t> counts;
    Env env;
    env.init();
    int32_t docno = 0;
    for (const fs::path& p : files) {
        if (docno == 300) break;
        std::ifstream in(p, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)),
                         std::istreambuf_iterator<char>());
        if (text.empty() || std::any_of(text.begin(), text.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80;
            }))
            continue;
        ++docno;
        modelOf(text, docno, &model, &counts[docno]);
        int32_t start = 0;
        env.doc(text, docno, &start);
        ASSERT_EQ(env.st.retcode, 0) << p << " " << env.st.errcode;
        EXPECT_EQ(start, counts[docno]) << p;
    }
    ASSERT_GE(docno, 200);
    env.finish();
    const Half half = env.read();
    std::map<std::string, Postings> words = wordsOf(half);
    EXPECT_EQ(words.size(), model.size());
    int shown = 0;
    for (const auto& [w, docs] : model) {
        auto it = words.find(w);
        if (it == words.end() || it->second != docs) {
            ADD_FAILURE() << "word " << w;
            if (++shown == 5) break;
        }
    }
    Postings docsWant;
    for (const auto& [d, c] : counts) docsWant[d] = {c};
    EXPECT_EQ(listsOf(half)["slot38"], docsWant);
}

namespace {

// The item sub-index's main half read back (as ReadHalf does for text).
std::map<std::string, Postings> readItems(const std::string& out) {
    std::map<std::string, Postings> m;
    GTRSTATUS st{};
    _FCTLHEAD fs;
    voz_SetFctlForRead(&fs, "idx", out.c_str(), VOZ_HALF_MAIN, 0, "MRNS",
                       "Item", &st);
    fs.flags |= VOZ_FCTL_TAKE_FLAGS;
    KEYINFO_0 info{};
    if (voz_IDXqueryExistence(&fs, &info, &st) != VOZ_EXISTS) return m;
    if ((info.indexFlags & VOZ_IDXFLAG_BTREE) != 0) fs.flags |= VOZ_FCTL_BTREE;
    EXPECT_EQ(voz_IDXopen(&fs, "rb", &st), 0);
    std::vector<KEY_REC> recs(255);
    const int32_t total =
        static_cast<int32_t>(info.fixedRecords + info.varRecords);
    for (int32_t r = 0; r < total && st.retcode == 0;) {
        voz_ReadKey(&fs, recs.data(), r, &st);
        if (st.retcode != 0) break;
        m[creatfix::KeyText(recs.data())] =
            creatfix::ReadList(&fs, recs[0], &st);
        r += recs[0].kind == 'V' ? recs[0].recCount : 1;
    }
    const KEY_REC& docs = info.slots[38];
    if (docs.dataLength != 0) m["slot38"] = creatfix::ReadList(&fs, docs, &st);
    voz_IDXclose(&fs, &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    return m;
}

REGISTITEM charItem(int16_t number, const char* text) {
    REGISTITEM it;
    memset(&it, 0, sizeof it);
    it.item_number = number;
    it.item_type = 'C';
    it.char_ptr = reinterpret_cast<uint8_t*>(const_cast<char*>(text));
    it.char_len = static_cast<int16_t>(strlen(text));
    return it;
}

REGISTITEM numItem(int16_t number, double v) {
    REGISTITEM it;
    memset(&it, 0, sizeof it);
    it.item_number = number;
    it.item_type = 'N';
    it.num_value = v;
    return it;
}

}  // namespace

TEST(GtrCycle, ItemsAtTheirPositionsAndNewIndexKeepsThem) {
    Env env;
    env.init(HParm(3));
    int32_t start = 0;
    env.doc("old words", 1, &start);
    // Item 1 twice and item 2 once: item k, occurrence j from
    // j x 33020 + k x 130 - 129 (1, 33021; 131).
    REGISTITEM items[] = {charItem(1, "x"), charItem(2, "y"),
                          charItem(1, "z"), numItem(9, 2.5),
                          numItem(9, -1.0)};
    GTRcreateItemIndexOneDoc(env.h, 1, 5, items, &env.st);
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    env.finish();
    std::map<std::string, Postings> before = readItems(env.out);
    std::set<int32_t> firsts;
    std::vector<std::string> numeric;
    for (const auto& [k, d] : before) {
        if (k == "slot38") continue;
        for (const auto& [doc, pos] : d) firsts.insert(pos.begin(), pos.end());
        if (k[0] == 'V' && k[2] == 0x1F) numeric.push_back(k);
    }
    // Each character item: start mark, its text, end mark.
    EXPECT_EQ(firsts, (std::set<int32_t>{1, 2, 3, 131, 132, 133, 33021, 33022,
                                         33023}));
    // Numeric keys: positions 1 and 2 in the caller's order; keys in value
    // order (-1 below 2.5).
    ASSERT_EQ(numeric.size(), 2u);
    EXPECT_EQ(before[numeric[0]], (Postings{{1, {2}}}));
    EXPECT_EQ(before[numeric[1]], (Postings{{1, {1}}}));
    EXPECT_EQ(before["slot38"], (Postings{{1, {33023}}}));

    // A new index of text only over it keeps the items, replaces the text.
    env.init();
    start = 0;
    env.doc("fresh", 2, &start);
    env.finish();
    EXPECT_EQ(readItems(env.out), before);
    std::map<std::string, Postings> words = wordsOf(env.read());
    EXPECT_EQ(words.size(), 1u);
    EXPECT_EQ(words["fresh"], (Postings{{2, {1}}}));
    EXPECT_TRUE(env.tempDirs().empty());
}

TEST(GtrCycle, AppendChecksNumbersReplacesAndDeletes) {
    Env env;
    env.init();
    int32_t start = 0;
    env.doc("first text", 1, &start);
    start = 0;
    env.doc("second text", 2, &start);
    env.finish();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;

    // A new document whose number is in the index: refused, update gone.
    env.init(HParm(), 'A');
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    start = 0;
    env.doc("again", 2, &start);
    EXPECT_STATUS(env.st, 153, 1821);
    EXPECT_EQ(env.st.detail, 2);
    EXPECT_EQ(env.h, nullptr);

    // An update replaces document 2; a delete removes document 1.
    env.init(HParm(), 'A');
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    GTRONEDOCINFO info;
    memset(&info, 0, sizeof info);
    info.usDocType = GTR_DOCTYPE_UPDATE;
    const std::string text = "replaced words";
    start = 0;
    GTRcreateIndexOneDocExt(env.h, reinterpret_cast<const uint8_t*>(text.data()),
                            static_cast<int32_t>(text.size()), 2, &start,
                            nullptr, &info, &env.st);
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    int32_t gone = 1;
    GTRdeleteDocs(env.h, 1, &gone, nullptr, &env.st);
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    env.finish();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    // An append writes the "supp" half. (The readers still show deleted
    // postings; the deleted lists, the storage's own, say which count.)
    GTRSTATUS rs{};
    std::map<std::string, Postings> words =
        wordsOf(ReadHalf(env.out, VOZ_HALF_SUPP, &rs));
    EXPECT_EQ(rs.retcode, 0);
    EXPECT_EQ(words["replaced"], (Postings{{2, {1}}}));
    EXPECT_EQ(wordsOf(env.read())["first"], (Postings{{1, {1}}}));
}

TEST(GtrCycle, TraceMarkerRecordsEveryCall) {
    Env env;
    { std::ofstream("GTRbtrc") << ""; }
    env.init();
    int32_t start = 0;
    env.doc("traced", 1, &start);
    env.finish();
    ASSERT_EQ(env.st.retcode, 0);
    char name[64];
    vozBTraceFileName(name, sizeof name);
    std::ifstream in(name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)),
                            std::istreambuf_iterator<char>());
    // Block heads: 00 00 00 03 08, then time, pid, the record type.
    std::vector<int> types;
    const std::string head("\0\0\0\x03\x08", 5);
    for (size_t at = bytes.find(head); at != std::string::npos;
         at = bytes.find(head, at + 1)) {
        if (at + 15 > bytes.size()) break;
        types.push_back((static_cast<uint8_t>(bytes[at + 13]) << 8) |
                        static_cast<uint8_t>(bytes[at + 14]));
    }
    EXPECT_EQ(types, (std::vector<int>{1, 14, 2, 14, 4, 14, 5, 14}));
}

TEST(GtrCycle, StopWordsKeepKeysWithoutPostings) {
    Env env;
    { std::ofstream("stop.txt") << "The\n\n  of  \n"; }
    GTRSTOPWORDLIST list;
    memset(&list, 0, sizeof list);
    list.pszStopWordList = const_cast<char*>("stop.txt");
    GTRHCREATEPARM p = HParm();
    p.stop_word_list_num = 1;
    p.paStopWordList = &list;
    env.init(p);
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    int32_t start = 0;
    env.doc("the cat of the dog", 1, &start);
    env.finish();
    const Half half = env.read();
    std::map<std::string, Postings> words = wordsOf(half);
    EXPECT_EQ(words["cat"], (Postings{{1, {4}}}));
    EXPECT_EQ(words["dog"], (Postings{{1, {12}}}));
    EXPECT_EQ(words.count("the"), 0u);
    EXPECT_EQ(words.count("of"), 0u);
    // "the" and "of" are keys without documents.
    int empty = 0;
    for (const auto& [k, d] : half.lists) empty += k[0] == 'V' && d.empty();
    EXPECT_EQ(empty, 2);
}
