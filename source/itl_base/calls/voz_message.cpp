// voz_message.cpp -- GTRgetMessage, the English message table and the
// filling of a format text from a status record.
//
// The table GetMsg selects a language by code-page code: entry 0 none,
// entry 1 vozGetMsg_1 (Japanese, voz_message_ja.cpp), entries 2..37
// vozGetMsg_5 (English, below). The English texts are kept exactly as the
// engine has always written them, typing errors included: callers compare
// them.
#include "calls/voz_message.hpp"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "calls/voz_message_tab.hpp"

namespace {

const VOZMSGTEXT kEnglish[] = {
    {0, "Search has been stopped because of too many results."},
    {1, "Handle error. errcode = %d"},
    {2, "Parameter error. errcode = %d"},
    {3, "%s Open error. errcode = %d errno = %d"},
    {4, "%s Read error. errcode = %d errno = %d"},
    {5, "%s Write error.errcode = %d errno = %d"},
    {6, "%s Seek errorr. errcode = %d errno = %d"},
    {7, "%s ftell error. errcode = %d errno = %d"},
    {8, "%s Delete error. errcode = %d erro = %d"},
    {9, "Rename error. From: %s  To: %s  errcode = %d errno = %d"},
    {10, "%s Close error.errcode = %d errno = %d"},
    {11, "Memory allocation error. errcode = %d"},
    {15, "Document numbers must be in ascending order. errcode = %d"},
    {16, "Index file integrity has been lost. errcode = %d"},
    {17, "Unexpected error. errcode = %d"},
    {18, "Index basic information does not match. errcode = %d"},
    {19, "Unexpected end of file."},
    {20, "Index does not exist."},
    {21, "Incorrect function call. errcode = %d"},
    {22, "The contents of BACKREF file are incorrect."},
    {23, "VOZ version error. %s"},
    {24, "Separating-rule number is out of range."},
    {25, "Query is not specified. errcode = %d"},
    {26, "Search matching level error."},
    {27, "Search range error."},
    {28, "Search operator error."},
    {29, "Index name is incorrect."},
    {30, "Document number is too small or too large. Document No. = %ld, Max.= %ld"},
    {31, "Document is too large. Number of char. = %ld, Max.= %ld"},
    {32, "Search start option error."},
    {34, "Start position error."},
    {35, "The length of filename or directory name is out of range."},
    {50, "This function is not supported. errcode = %ld"},
    {101, "Character normalization error."},
    {102, "Query syntax error."},
    {103, "Parenthesis nest error."},
    {104, "Query element sequence error."},
    {105, "Quotation usage error."},
    {106, "Case sensitive parameter error."},
    {107, "BACKREF file name is specified incorrectly."},
    {108, "Codepage error."},
    {109, "Boundary must be in ascending order."},
    {110, "Occurrences sequence is incorrect."},
    {111, "Mask characters are specified incorrectly."},
    {112, "Weight value is specified incorrectly."},
    {113, "BACKREF file cannot be specified in ranking search."},
    {114, "Item number is out of range. Error-Number = %ld."},
    {115, "NULL must be set in the reserved parameter."},
    {116, "Item is specified incorrectly. Error-Number = %ld."},
    {117, "Item type is specified incorrectly. Error-Number = %ld."},
    {118, "Item data is too long. Error-Number = %ld."},
    {119, "The number of items is too large. Error-Number = %ld."},
    {120, "Field information is specified incorrectly. Error-Number = %d."},
    {123, "End of result."},
    {124, "Start of result."},
    {125, "Handle is already opened."},
    {126, "Handle is not opened."},
    {127, "Search scope is specified incorrectly. Error-Number = %ld"},
    {128, "Reserved fields must be cleared by zero. Error-Number = %ld."},
    {129, "Work area overflown due to big data.Error-Number = %ld"},
    {130, "Work area overflown due to many hits. Error-Number = %ld"},
    {140, "Directory %s creation error.errcode = %d errno = %d"},
    {141, "Directory %s removal error.errcode = %d errno = %d"},
    {150, "Skipping callback function returns error. errcode = %ld"},
    {151, "Stopword file %s (line = %ld) define error. errcode = %ld"},
    {152, "UBM error. File name = %s, UBM error code = %ld, errcode = %ld"},
    {153, "This document number has already been used. Document number = %ld, errcode = %ld"},
    {154, "Some of the key patterns exceed the limit. errcode = %ld"},
    {155, "GTRinitThread has been already called with identical thread ID. errcode = %ld"},
    {156, "GTRtermThread is called before GTRinitThread with this thread. errcode = %ld"},
    {157, "Vocabulary in this index exceeds the limitation. errcode = %ld"},
    {VOZ_MSG_GENERAL, "Error has occurred. (retcode, errcode) = (%d, %d)"},
};

const char kBadCodepage[] = "Codepage parameter cannot be interpreted.";

// The engine's index version text, inserted into the version message.
const char kIndexVersion[] = "V4_0";
constexpr long kMaxDocno = 2147483646L;
constexpr long kMaxDocChars = 1073741823L;

typedef const char* (*GETMSG_FN)(int32_t retcode);
const GETMSG_FN GetMsg[38] = {
    nullptr,     vozGetMsg_1, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5,
    vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5,
    vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5,
    vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5,
    vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5,
    vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5,
    vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5, vozGetMsg_5,
    vozGetMsg_5, vozGetMsg_5, vozGetMsg_5,
};

// One insert of a format text: a text, or a number.
struct Insert {
    const char* text;  // non-null for a text insert
    long number;
};

Insert text(const char* t) { return Insert{t, 0}; }
Insert num(long n) { return Insert{nullptr, n}; }

// Writes characters into a buffer of fixed size, keeping room for the NUL.
class Writer {
public:
    Writer(char* out, size_t size) : out_(out), size_(size) {}
    void put(char c) {
        if (used_ + 1 < size_) out_[used_++] = c;
    }
    void put(const char* s) {
        while (*s != '\0') put(*s++);
    }
    void finish() { out_[used_ < size_ ? used_ : size_ - 1] = '\0'; }

private:
    char* out_;
    size_t size_;
    size_t used_ = 0;
};

void putInsert(Writer& w, const Insert& in) {
    if (in.text != nullptr) {
        w.put(in.text);
        return;
    }
    char digits[24];
    std::snprintf(digits, sizeof digits, "%ld", in.number);
    w.put(digits);
}

// Fills `format` with the inserts in order: %s, %d and %ld each take the
// next insert; %% writes '%'; a conversion without an insert writes nothing.
void fillFormat(const char* format, const Insert* ins, int count, char* out,
                size_t size) {
    Writer w(out, size);
    int next = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            w.put(*p);
            continue;
        }
        const char* q = p + 1;
        if (*q == '%') {
            w.put('%');
            p = q;
            continue;
        }
        if (*q == 'l') ++q;
        if (*q == 's' || *q == 'd') {
            if (next < count) putInsert(w, ins[next++]);
            p = q;
            continue;
        }
        w.put(*p);  // not a conversion this table uses: kept as written
    }
    w.finish();
}

// A status name as a terminated text of at most 511 bytes.
struct Name {
    explicit Name(const char (&field)[VOZ_STATUS_NAME_LEN]) {
        std::memcpy(text, field, VOZ_STATUS_NAME_LEN - 1);
        text[VOZ_STATUS_NAME_LEN - 1] = '\0';
    }
    char text[VOZ_STATUS_NAME_LEN];
};

bool oneOf(int32_t rc, std::initializer_list<int32_t> set) {
    for (int32_t v : set)
        if (v == rc) return true;
    return false;
}

// The inserts of retcode rc, in the order its texts take them; returns the
// count.
int insertsOf(const GTRSTATUS& st, const Name& f1, const Name& f2,
              Insert* ins) {
    int32_t rc = st.retcode;
    long ec = st.errcode;
    if (oneOf(rc, {1, 2, 11, 15, 16, 17, 18, 21, 25, 28, 50, 114, 116, 117,
                   118, 119, 120, 127, 128, 129, 130, 150, 154, 155, 156,
                   157})) {
        ins[0] = num(ec);
        return 1;
    }
    if (oneOf(rc, {3, 4, 5, 6, 7, 8, 10, 140, 141})) {
        ins[0] = text(f1.text), ins[1] = num(ec), ins[2] = num(st.system_errno);
        return 3;
    }
    if (oneOf(rc, {19, 20, 22, 24, 26, 27, 29, 32, 34, 35, 115, 123, 124, 125,
                   126}) ||
        (rc >= 101 && rc <= 113))
        return 0;
    switch (rc) {
    case 9:
        ins[0] = text(f1.text), ins[1] = text(f2.text), ins[2] = num(ec);
        ins[3] = num(st.system_errno);
        return 4;
    case 23: ins[0] = text(kIndexVersion); return 1;
    case 30: ins[0] = num(ec), ins[1] = num(kMaxDocno); return 2;
    case 31: ins[0] = num(ec), ins[1] = num(kMaxDocChars); return 2;
    case 151:
    case 152:
        ins[0] = text(f1.text), ins[1] = num(st.detail), ins[2] = num(ec);
        return 3;
    case 153: ins[0] = num(st.detail), ins[1] = num(ec); return 2;
    default: ins[0] = num(rc), ins[1] = num(ec); return 2;
    }
}

}  // namespace

const char* vozMessageLookup(const VOZMSGTEXT* table, size_t count,
                             int32_t retcode) {
    for (size_t i = 0; i < count; ++i)
        if (table[i].retcode == retcode) return table[i].text;
    for (size_t i = 0; i < count; ++i)
        if (table[i].retcode == VOZ_MSG_GENERAL) return table[i].text;
    return "";
}

const char* vozGetMsg_5(int32_t retcode) {
    return vozMessageLookup(kEnglish, sizeof kEnglish / sizeof kEnglish[0],
                            retcode);
}

const char* vozMessageFormat(uint8_t codepage, int32_t retcode) {
    if (codepage < 1 || codepage > 37) return nullptr;
    return GetMsg[codepage](retcode);
}

void GTRgetMessage(uint8_t codepage, const GTRSTATUS* gsp, char* msg) {
    if (codepage < 1 || codepage > 37) {
        std::snprintf(msg, VOZ_MESSAGE_MAX, "%s", kBadCodepage);
        return;
    }
    msg[0] = '\0';
    if (gsp->retcode == 0 && (gsp->retrieve_status & 0x01) == 0) return;
    const char* format = GetMsg[codepage](gsp->retcode);
    Name f1(gsp->errfname1), f2(gsp->errfname2);
    Insert ins[4];
    int count = gsp->retcode == 0 ? 0 : insertsOf(*gsp, f1, f2, ins);
    fillFormat(format, ins, count, msg, VOZ_MESSAGE_MAX);
}

const char* itlGetEngineType() { return "ITL_ENGINE_VOZ_ONLY"; }
