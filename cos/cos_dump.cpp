// cos_dump.cpp: hexadecimal and binary dump lines, pointer texts and the
// dump functions (layouts in cos_dump.hpp).
//
// Both line classes are built by one routine that differs only in how a
// byte and a filler are written and in the number of bytes per line.
#include "cos_dump.hpp"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

namespace {

struct LineLayout {
    unsigned bytesPerLine;  // 16 hexadecimal, 8 binary
    bool binary;            // bits instead of hexadecimal digits
};

constexpr LineLayout kHexLayout = {CosClStrepHexDump::BYTES_PER_LINE, false};
constexpr LineLayout kBinLayout = {CosClStrepBinDump::BYTES_PER_LINE, true};

char* putByte(char* out, unsigned char byte, bool binary) {
    static char const kHex[] = "0123456789ABCDEF";
    if (binary) {
        for (int bit = 7; bit >= 0; --bit) *out++ = ((byte >> bit) & 1) ? '1' : '0';
    } else {
        *out++ = kHex[byte >> 4];
        *out++ = kHex[byte & 0x0F];
    }
    return out;
}

char* putFiller(char* out, bool binary) {
    unsigned width = binary ? 8 : 2;
    std::memset(out, '_', width);
    return out + width;
}

bool isShownAsItself(unsigned char byte) {
    return std::isprint(byte) && !std::iscntrl(byte);
}

// Writes one line into `line` (room for the longest line and the
// terminator). `offset` is written only when `withOffset`.
void buildLine(char* line, LineLayout layout, bool withOffset, unsigned offset,
               void const* data, unsigned length) {
    auto bytes = static_cast<unsigned char const*>(data);
    if (length > layout.bytesPerLine) length = layout.bytesPerLine;
    char* out = line;
    if (withOffset) out += std::sprintf(out, "%08X: ", offset);
    for (unsigned pos = 0; pos < layout.bytesPerLine; ++pos) {
        out = pos < length ? putByte(out, bytes[pos], layout.binary)
                           : putFiller(out, layout.binary);
        *out++ = ' ';
        if (pos + 1 == layout.bytesPerLine / 2) *out++ = ' ';
    }
    *out++ = '|';
    *out++ = ' ';
    for (unsigned pos = 0; pos < layout.bytesPerLine; ++pos) {
        if (pos >= length) *out++ = '_';
        else *out++ = isShownAsItself(bytes[pos]) ? static_cast<char>(bytes[pos]) : '.';
    }
    *out = '\0';
}

// Writes `size` bytes as lines of the given layout, each with its offset.
template <class Line>
void dumpLines(std::ostream& out, void const* data, size_t size) {
    auto bytes = static_cast<unsigned char const*>(data);
    for (size_t done = 0; done < size; done += Line::BYTES_PER_LINE) {
        size_t rest = size - done;
        unsigned length = rest < Line::BYTES_PER_LINE ? static_cast<unsigned>(rest)
                                                      : Line::BYTES_PER_LINE;
        Line line(static_cast<unsigned>(done), bytes + done, length);
        out << line.getAsCString() << '\n';
    }
}

}  // namespace

CosClStrepHexDump::CosClStrepHexDump(unsigned offset, void const* data,
                                     unsigned length) : iv_szLine() {
    buildLine(iv_szLine, kHexLayout, true, offset, data, length);
}

CosClStrepHexDump::CosClStrepHexDump(void const* data, unsigned length)
    : iv_szLine() {
    buildLine(iv_szLine, kHexLayout, false, 0, data, length);
}

CosClStrepBinDump::CosClStrepBinDump(unsigned offset, void const* data,
                                     unsigned length) : iv_szLine() {
    buildLine(iv_szLine, kBinLayout, true, offset, data, length);
}

CosClStrepBinDump::CosClStrepBinDump(void const* data, unsigned length)
    : iv_szLine() {
    buildLine(iv_szLine, kBinLayout, false, 0, data, length);
}

CosClStrepAddress::CosClStrepAddress(void const* pointer) : iv_szText() {
    std::ostringstream text;
    text << pointer;
    std::string s = text.str();
    std::snprintf(iv_szText, sizeof iv_szText, "%s", s.c_str());
}

// The four element types of each dump family differ only in element size.
#define COS_DUMP_FAMILY(NAME, LINE)                                              \
    void NAME(std::ostream& out, unsigned char const* d, unsigned n) {          \
        dumpLines<LINE>(out, d, n);                                              \
    }                                                                            \
    void NAME(std::ostream& out, unsigned short const* d, unsigned n) {         \
        dumpLines<LINE>(out, d, size_t{n} * sizeof *d);                          \
    }                                                                            \
    void NAME(std::ostream& out, unsigned int const* d, unsigned n) {           \
        dumpLines<LINE>(out, d, size_t{n} * sizeof *d);                          \
    }                                                                            \
    void NAME(std::ostream& out, unsigned long long const* d, unsigned n) {     \
        dumpLines<LINE>(out, d, size_t{n} * sizeof *d);                          \
    }                                                                            \
    void NAME(unsigned char const* d, unsigned n) { NAME(std::cout, d, n); }    \
    void NAME(unsigned short const* d, unsigned n) { NAME(std::cout, d, n); }   \
    void NAME(unsigned int const* d, unsigned n) { NAME(std::cout, d, n); }     \
    void NAME(unsigned long long const* d, unsigned n) { NAME(std::cout, d, n); }

COS_DUMP_FAMILY(cosDumpHex, CosClStrepHexDump)
COS_DUMP_FAMILY(cosDumpBin, CosClStrepBinDump)
COS_DUMP_FAMILY(cosDump, CosClStrepHexDump)
#undef COS_DUMP_FAMILY

#define COS_DEBUG_DUMP_FAMILY(NAME)                                        \
    void NAME(char const*, unsigned char const*, unsigned) {}             \
    void NAME(char const*, unsigned short const*, unsigned) {}            \
    void NAME(char const*, unsigned int const*, unsigned) {}              \
    void NAME(char const*, unsigned long long const*, unsigned) {}

COS_DEBUG_DUMP_FAMILY(cosDebugDump)
COS_DEBUG_DUMP_FAMILY(cosDebugDumpHex)
COS_DEBUG_DUMP_FAMILY(cosDebugDumpBin)
#undef COS_DEBUG_DUMP_FAMILY

void cosDebugImpDump(CosEnDump, char const*, unsigned char const*, unsigned) {}
