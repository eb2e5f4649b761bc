// Tests of the library's conversion tables and of the ICU- and
// iconv-converted code pages against ICU and iconv: every defined
// character converts to UCS-2 as ICU (or iconv) converts it, and back to
// the same bytes. The differences that exist are listed with their reason.
#include <iconv.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uset.h>

#include <map>
#include <set>

#include "converter_test_util.hpp"
#include "ti_test_util.hpp"
#include "cos_converter_methods.hpp"
#include "cos_converter_tables.hpp"

using convtest::Outcome;
using convtest::runFull;
using convtest::ucs2;
using convtest::units;

namespace {

const char16_t kUndefined = 0xFFFD;

// Reference mapping of one byte sequence: the UCS-2 text ICU or iconv
// gives for it, empty when they have it undefined.
class Reference {
public:
    virtual ~Reference() = default;
    virtual std::u16string toUnicode(std::string const& bytes) = 0;
};

class IcuReference : public Reference {
public:
    explicit IcuReference(UConverter* c) : m_cnv(c) {
        UErrorCode status = U_ZERO_ERROR;
        ucnv_setToUCallBack(m_cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    }
    ~IcuReference() override { ucnv_close(m_cnv); }
    std::u16string toUnicode(std::string const& bytes) override {
        UChar out[8];
        UErrorCode status = U_ZERO_ERROR;
        ucnv_resetToUnicode(m_cnv);
        int32_t n = ucnv_toUChars(m_cnv, out, 8, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
        if (U_FAILURE(status)) return u"";
        return std::u16string(reinterpret_cast<char16_t*>(out), static_cast<size_t>(n));
    }
    static std::unique_ptr<Reference> open(char const* name, uint32_t ccsid) {
        UErrorCode status = U_ZERO_ERROR;
        UConverter* c = name ? ucnv_open(name, &status)
                             : ucnv_openCCSID(static_cast<int32_t>(ccsid), static_cast<UConverterPlatform>(0), &status);
        if (U_FAILURE(status)) return nullptr;
        return std::make_unique<IcuReference>(c);
    }

private:
    UConverter* m_cnv;
};

class IconvReference : public Reference {
public:
    explicit IconvReference(iconv_t cd) : m_cd(cd) {}
    ~IconvReference() override { iconv_close(m_cd); }
    std::u16string toUnicode(std::string const& bytes) override {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char16_t out[8];
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = bytes.size();
        char* o = reinterpret_cast<char*>(out);
        size_t oLeft = sizeof out;
        if (iconv(m_cd, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1) || inLeft) return u"";
        return std::u16string(out, (sizeof out - oLeft) / 2);
    }
    static std::unique_ptr<Reference> open(char const* name) {
        iconv_t cd = iconv_open("UCS-2", name);
        if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
        return std::make_unique<IconvReference>(cd);
    }

private:
    iconv_t m_cd;
};

// The byte sequences of a table code page: every byte (none in a pure
// double-byte code page), and the two-byte sequences of its lead bytes
// (EBCDIC: of every first byte 0x40-0xFE, written between SO and SI).
std::vector<std::string> sequencesOf(uint32_t ccsid) {
    std::vector<std::string> seqs;
    bool isEBCDIC = false;
    const _CosStDBCSConversionTable* dbcs = cosGetDBCStoUCS2Table(ccsid, isEBCDIC);
    for (int b = 0; b < 256; ++b) {
        bool lead = dbcs && (isEBCDIC ? b >= 0x40 && b <= 0xFE : dbcs->paucLeadBytes[b] != 0);
        bool single = !dbcs || (!dbcs->bIsPure && (isEBCDIC ? b != 0x0E && b != 0x0F : !lead));
        if (single) seqs.push_back(std::string(1, static_cast<char>(b)));
        if (!lead) continue;
        for (int c = 0; c < 256; ++c)
            seqs.push_back(std::string{static_cast<char>(b), static_cast<char>(c)});
    }
    return seqs;
}

std::string shifted(std::string const& seq) {
    std::string s(1, '\x0E');
    s.append(seq);
    s.push_back('\x0F');
    return s;
}

std::string hex(std::string const& s) {
    static const char* digits = "0123456789ABCDEF";
    std::string h;
    for (unsigned char c : s) { h += digits[c >> 4]; h += digits[c & 15]; }
    return h;
}

const uint32_t kSingleByte[] = {37, 273, 274, 277, 278, 280, 284, 285, 290, 297, 420, 423, 424, 437, 500,
                                737, 819, 833, 836, 838, 850, 852, 870, 871, 875, 891, 895, 924, 1025,
                                1026, 1027, 1040, 1041, 1043, 1046, 1088, 1112, 1114, 1115, 1122, 1123,
                                1142, 1145, 1155, 1163, 1250, 1252, 9048, 13121};
const uint32_t kDoubleByte[] = {301, 927, 930, 939, 941, 948, 1351, 1394, 4930, 4933, 5039};

// One row of a published mapping file (tools/codepages/ccsid-N.tsv).
struct Row {
    std::u16string value;  // U+FFFD where UCS-2 cannot hold the row
    bool oneWay;           // code page to Unicode only
};

// The rows of ccsid's mapping file that map towards Unicode; empty when
// there is no file (1394 comes from iconv).
std::map<std::string, Row> mappingFile(uint32_t ccsid) {
    std::map<std::string, Row> rows;
    std::string path = std::string(TI_TEST_DATA) + "/../../../tools/codepages/ccsid-" +
                       std::to_string(ccsid) + ".tsv";
    FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return rows;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        char bytes[16], uni[64];
        int flag;
        if (line[0] == '#' || std::sscanf(line, "%15s %63s %d", bytes, uni, &flag) != 3) continue;
        if (flag != 0 && flag != 3) continue;
        std::string seq;
        for (size_t i = 0; bytes[i] && bytes[i + 1]; i += 2)
            seq.push_back(static_cast<char>(std::stoi(std::string(bytes + i, 2), nullptr, 16)));
        unsigned long cp = std::strtoul(uni, nullptr, 16);
        bool one = std::strchr(uni, '+') == nullptr && std::strchr(uni, ' ') == nullptr;
        rows[seq] = Row{std::u16string(1, one && cp <= 0xFFFF ? static_cast<char16_t>(cp) : u'\uFFFD'),
                        flag == 3};
    }
    std::fclose(f);
    return rows;
}

TEST(ConverterTables, LookupsFindEveryTable) {
    for (uint32_t ccsid : kSingleByte) EXPECT_NE(cosGetSBCStoUCS2Table(ccsid), nullptr) << ccsid;
    for (uint32_t ccsid : kDoubleByte) {
        bool isEBCDIC = false;
        const _CosStDBCSConversionTable* t = cosGetDBCStoUCS2Table(ccsid, isEBCDIC);
        ASSERT_NE(t, nullptr) << ccsid;
        EXPECT_EQ(isEBCDIC, ccsid == 930 || ccsid == 939 || ccsid == 4930 || ccsid == 4933);
        for (int i = 0; i < 256; ++i) {
            ASSERT_GE(t->aucWardIndex[i], 1);
            ASSERT_LE(t->aucWardIndex[i], t->usWardCount);
        }
        for (int i = 0; i < 256; ++i) EXPECT_EQ(t->ppusWards[0][i], kUndefined);
    }
    EXPECT_EQ(cosGetSBCStoUCS2Table(1208), nullptr);
    EXPECT_NE(cosGetUCS2toSBCSTable(850), nullptr);
    EXPECT_EQ(cosGetUCS2toSBCSTable(37), nullptr);
}

// Counts of the known differences, by reason.
struct Tally {
    std::map<std::string, int> known;
    std::vector<std::string> failures;
};

// Code pages whose only reference, glibc's iconv table, is an older or
// other version than the published mapping: 274 (glibc lacks the national
// letters at 41-49 and more), 423 (Greek before the later revision), 891
// (glibc maps the Korean single-byte page's upper half differently).
bool isOtherVersion(uint32_t ccsid) { return ccsid == 274 || ccsid == 423 || ccsid == 891; }

// EBCDIC new line: the tables hold U+0085 for it (as published), and the
// EBCDIC methods write U+000A, which converts back to the line feed 0x25.
bool isEbcdicNewLine(uint32_t ccsid, std::string const& seq, std::u16string const& u) {
    return CosClCCSID(ccsid).isEBCDIC() && seq == "\x15" && u == u"\n";
}

// One byte sequence of a table code page: the table against the mapping
// file, against ICU or iconv, and the round trip.
void checkSequence(uint32_t ccsid, std::string const& seq, bool shift, Reference* ref,
                   std::map<std::string, Row> const& file, CosClCodePage2UnicodeConverter const& to,
                   CosClUnicode2CodePageConverter const& back,
                   std::map<std::u16string, std::string>& seen, Tally& tally) {
    std::string input = shift ? shifted(seq) : seq;
    std::string key = std::to_string(ccsid) + ":" + hex(seq);
    Outcome o = runFull(to, input);
    std::u16string u = units(o.out);
    if (o.error != CosEnErrorId::NO_ERROR) tally.failures.push_back(key + " conversion error");
    bool newLine = isEbcdicNewLine(ccsid, seq, u);
    auto row = file.find(seq);
    Row expectedRow = row != file.end() ? row->second : Row{u"\uFFFD", false};
    if (!file.empty() && u != expectedRow.value && !newLine)
        tally.failures.push_back(key + " differs from the mapping file: U+" + hex(ucs2(u)));
    if (ref != nullptr) {
        std::u16string r = ref->toUnicode(input);
        if (r.empty()) r.assign(1, kUndefined);
        if (newLine && r == u"\u0085")
            ++tally.known["EBCDIC new line U+0085 written as U+000A"];
        else if (r.size() > 1 && u == u"\uFFFD")
            ++tally.known["two code points, a UCS-2 table holds one: U+FFFD"];
        else if (r != u && isOtherVersion(ccsid))
            ++tally.known[std::string("iconv's CP").append(std::to_string(ccsid)).append(
                " is another version of the code page")];
        else if (r != u)
            tally.failures.push_back(key + " ours U+" + hex(ucs2(u)) + " reference U+" + hex(ucs2(r)));
    }
    if (u.size() != 1 || u[0] == kUndefined) return;
    if (newLine) {
        ++tally.known["EBCDIC new line returns as line feed 0x25"];
        return;
    }
    if (expectedRow.oneWay) {
        ++tally.known["published as code page to Unicode only"];
        return;
    }
    if (back.isSupported()) {
        Outcome b = runFull(back, ucs2(u));
        if (b.out != input) tally.failures.push_back(key + " returns as " + hex(b.out));
    } else if (!seen.emplace(u, seq).second) {
        tally.failures.push_back(key + " has the character of " + hex(seen[u]));
    } else {
        ++tally.known["no converter from UCS-2 in ICU or iconv: checked unique"];
    }
}

// Compares a table with its mapping file and with ICU (or iconv), and
// round-trips every defined character through the from-UCS-2 converter
// where one exists (else checks that no two sequences share a character).
void checkTable(uint32_t ccsid, Tally& tally) {
    std::unique_ptr<Reference> ref = IcuReference::open(nullptr, ccsid);
    if (!ref) {
        std::string name = ccsid == 1394 ? "SHIFT_JISX0213" : std::string("CP").append(std::to_string(ccsid));
        ref = IconvReference::open(name.c_str());
    }
    std::map<std::string, Row> file = mappingFile(ccsid);
    if (ccsid != 1394) {
        EXPECT_FALSE(file.empty()) << "mapping file of " << ccsid;
    }
    CosClCodePage2UnicodeConverter to(ccsid);
    CosClUnicode2CodePageConverter back(ccsid);
    bool isEBCDIC = false;
    const _CosStDBCSConversionTable* dbcs = cosGetDBCStoUCS2Table(ccsid, isEBCDIC);
    std::map<std::u16string, std::string> seen;
    if (!ref) ++tally.known[std::string("no ICU or iconv converter to compare with: ").append(std::to_string(ccsid))];
    for (std::string const& seq : sequencesOf(ccsid)) {
        bool shift = dbcs && isEBCDIC && !dbcs->bIsPure && seq.size() == 2;
        checkSequence(ccsid, seq, shift, ref.get(), file, to, back, seen, tally);
    }
}

TEST(ConverterTables, AgreeWithMappingFilesAndICUAndRoundTrip) {
    Tally tally;
    for (uint32_t ccsid : kSingleByte) checkTable(ccsid, tally);
    for (uint32_t ccsid : kDoubleByte) checkTable(ccsid, tally);
    for (auto const& k : tally.known) std::printf("known: %5d  %s\n", k.second, k.first.c_str());
    for (size_t i = 0; i < tally.failures.size() && i < 500; ++i)
        ADD_FAILURE() << tally.failures[i];
    EXPECT_TRUE(tally.failures.empty()) << tally.failures.size() << " differences";
}

}  // namespace

namespace {

// The characters ICU converts both ways for `icuName`, as UTF-16 text and
// as ICU's bytes for it. Supplementary characters are sampled (every
// `step`-th) to keep the test fast.
// Characters for which the library knowingly differs from ICU: U+0085
// (EBCDIC new line) is written as U+000A by the library's EBCDIC tables;
// noncharacters become U+FFFF in UTF-8.
struct Skip {
    bool newLine;
    bool noncharacters;
    bool operator()(UChar32 c) const {
        return (newLine && c == 0x85) ||
               (noncharacters && ((c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE));
    }
};

// `icuName` is a name of ICU's alias table, or "#" and a CCSID that ICU
// opens by number.
void roundTripSet(char const* icuName, UChar32 step, Skip skip, std::u16string* text,
                  std::string* bytes) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = icuName[0] == '#'
                          ? ucnv_openCCSID(std::atoi(icuName + 1),
                                           static_cast<UConverterPlatform>(0), &status)
                          : ucnv_open(icuName, &status);
    ASSERT_TRUE(U_SUCCESS(status)) << icuName;
    USet* set = uset_openEmpty();
    ucnv_getUnicodeSet(cnv, set, UCNV_ROUNDTRIP_SET, &status);
    int32_t ranges = uset_getItemCount(set);
    for (int32_t i = 0; i < ranges; ++i) {
        UChar32 start, end;
        uset_getItem(set, i, &start, &end, nullptr, 0, &status);
        for (UChar32 c = start; c <= end; ++c) {
            if (c > 0xFFFF && (c % step) != 0) continue;
            if ((c >= 0xD800 && c <= 0xDFFF) || skip(c)) continue;
            if (c <= 0xFFFF) {
                text->push_back(static_cast<char16_t>(c));
            } else {
                text->push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
                text->push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
            }
        }
    }
    uset_close(set);
    std::vector<char> out(text->size() * 4 + 16);
    int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()),
                                reinterpret_cast<UChar const*>(text->data()),
                                static_cast<int32_t>(text->size()), &status);
    ASSERT_TRUE(U_SUCCESS(status)) << icuName << " " << u_errorName(status);
    bytes->assign(out.data(), static_cast<size_t>(n));
    ucnv_close(cnv);
}

// First differing offset of two strings, for the message.
size_t firstDifference(std::string const& a, std::string const& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i;
}

// Each direction against the ICU converter the library uses for it; the
// round trip holds where both are the same (954 goes to UCS-2 as 33722 but
// back through ICU's own 954, which differs for some characters).
TEST(ConverterExternal, IcuCodePagesConvertEveryCharacterAsICU) {
    struct { char const* ccsid; char const* toName; char const* fromName; Skip skip; } const cases[] = {
        {"UTF-8", "UTF-8", "UTF-8", {false, true}},
        {"1208", "UTF-8", "UTF-8", {false, true}},
        {"943", "cp943c", "cp943c", {false, false}},
        {"1386", "cp1386", "cp1386", {false, false}},
        {"954", "cp33722", "#954", {false, false}},
        {"5050", "cp33722", "cp33722", {false, false}},
        {"1392", "gb18030", "gb18030", {false, false}},
        {"18030", "gb18030", "gb18030", {false, false}},
        {"1047", "cp1047", "cp1047", {false, false}},
        {"930", "cp930", "cp930", {true, false}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.ccsid);
        CosClCCSID ccsid(c.ccsid);
        CosClCodePage2UnicodeConverter to(ccsid);
        CosClUnicode2CodePageConverter from(ccsid);
        std::u16string text;
        std::string bytes;
        roundTripSet(c.toName, 97, c.skip, &text, &bytes);
        ASSERT_GT(text.size(), 200u);
        Outcome u = runFull(to, bytes);
        EXPECT_EQ(u.error, CosEnErrorId::NO_ERROR);
        EXPECT_EQ(u.consumed, bytes.size());
        size_t at = firstDifference(u.out, ucs2(text));
        EXPECT_EQ(at, 2 * text.size()) << "to UCS-2 differs at unit " << at / 2 << ": U+"
                                        << hex(u.out.substr(at & ~size_t(1), 2)) << " for U+"
                                        << hex(ucs2(text).substr(at & ~size_t(1), 2));
        if (std::strcmp(c.toName, c.fromName) == 0) {
            Outcome back = runFull(from, u.out);
            EXPECT_EQ(firstDifference(back.out, bytes), bytes.size()) << "round trip";
        }
        text.clear();
        roundTripSet(c.fromName, 97, c.skip, &text, &bytes);
        Outcome b = runFull(from, ucs2(text));
        EXPECT_EQ(b.error, CosEnErrorId::NO_ERROR);
        at = firstDifference(b.out, bytes);
        EXPECT_EQ(at, bytes.size()) << "from UCS-2 differs at byte " << at << ": "
                                    << hex(b.out.substr(at, 4)) << " for " << hex(bytes.substr(at, 4));
    }
}

// 904 is converted by iconv only: every byte iconv maps comes back.
TEST(ConverterExternal, IconvCodePageRoundTripsEveryByte) {
    std::unique_ptr<Reference> ref = IconvReference::open("904");
    ASSERT_TRUE(ref);
    CosClCodePage2UnicodeConverter to(904u);
    CosClUnicode2CodePageConverter from(904u);
    ASSERT_EQ(to.getMethod(), cosConvertByUsingIconv);
    int defined = 0;
    for (int b = 0; b < 256; ++b) {
        std::string seq(1, static_cast<char>(b));
        std::u16string expected = ref->toUnicode(seq);
        Outcome u = runFull(to, seq);
        if (expected.empty()) {
            EXPECT_EQ(u.error, CosEnErrorId::CPCONVERTER_INVALID_SEQ) << b;
            continue;
        }
        ++defined;
        EXPECT_EQ(units(u.out), expected) << b;
        EXPECT_EQ(runFull(from, u.out).out, seq) << b;
    }
    EXPECT_GT(defined, 128);
}

// UTF-8 decoding agrees with ICU's on random bytes, invalid ones included:
// one U+FFFD for each maximal part of a sequence that could have been valid.
TEST(ConverterExternal, Utf8DecodingAgreesWithICUOnRandomBytes) {
    std::mt19937 rng(testSeed());
    const unsigned char alphabet[] = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                      0xC2, 0xDF, 0xE0, 0xE1, 0xED, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5,
                                      0xF8, 0xFC, 0xFF};
    UErrorCode status = U_ZERO_ERROR;
    UConverter* icu = ucnv_open("UTF-8", &status);
    CosClCodePage2UnicodeConverter ours(1208u);
    for (int round = 0; round < 3000; ++round) {
        std::string in;
        size_t len = 1 + rng() % 12;
        for (size_t i = 0; i < len; ++i) in.push_back(static_cast<char>(alphabet[rng() % sizeof alphabet]));
        in.push_back('.');  // nothing left cut off at the end
        UChar out[64];
        status = U_ZERO_ERROR;
        int32_t n = ucnv_toUChars(icu, out, 64, in.data(), static_cast<int32_t>(in.size()), &status);
        ASSERT_TRUE(U_SUCCESS(status));
        Outcome o = runFull(ours, in);
        EXPECT_EQ(o.error, CosEnErrorId::NO_ERROR);
        EXPECT_EQ(units(o.out), std::u16string(reinterpret_cast<char16_t*>(out), static_cast<size_t>(n)))
            << "input " << hex(in);
    }
    ucnv_close(icu);
}

}  // namespace
