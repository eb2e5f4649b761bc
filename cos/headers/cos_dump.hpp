// cos_dump.hpp: raw memory as text, for diagnostic output.
//
// Two fixed line layouts show memory: hexadecimal (16 bytes a line) and
// binary (8 bytes a line), each optionally led by the byte offset and always
// followed by the bytes as characters. The line classes build one line as a
// zero-terminated text held inside the object (no allocation); the dump
// functions write whole buffers line by line to a stream. The console user
// interface and the trace formatter use the line classes.
//
// Hexadecimal line, 16 bytes, offset 16, bytes "ABCDEFGHIJKLMNOP":
//   00000010: 41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50 | ABCDEFGHIJKLMNOP
// Binary line, 1 byte 0x41 at offset 0 (one line, cut here at "+"):
//   00000000: 01000001 ________ ________ ________  ________ ________ +
//   ________ ________ | A_______
// - offset: 8 upper-case hex digits and ": " (left out by the constructors
//   without an offset);
// - each position: the byte (2 hex digits or 8 bits, most significant
//   first) and a blank, or underscores and a blank past the end of the
//   data; one extra blank after the middle position (8 hex, 4 binary);
//   "| " after the last position;
// - characters: a printable, non-control byte as itself, any other byte as
//   ".", positions past the end of the data as "_".
// A length above the line's width uses only the first 16 (8) bytes.
#ifndef COS_DUMP_HPP
#define COS_DUMP_HPP

#include <iosfwd>

class CosClStringRepresentationABase {
  public:
    virtual ~CosClStringRepresentationABase() = default;
    // The representation as text; valid while the object lives.
    virtual char const* getAsCString() const = 0;
};

class CosClStrepHexDump : public CosClStringRepresentationABase {
  public:
    static constexpr unsigned BYTES_PER_LINE = 16;
    CosClStrepHexDump(unsigned offset, void const* data, unsigned length);
    CosClStrepHexDump(void const* data, unsigned length);
    char const* getAsCString() const override { return iv_szLine; }

  private:
    char iv_szLine[81];  // 80 characters and the terminator; longest line 77
};

class CosClStrepBinDump : public CosClStringRepresentationABase {
  public:
    static constexpr unsigned BYTES_PER_LINE = 8;
    CosClStrepBinDump(unsigned offset, void const* data, unsigned length);
    CosClStrepBinDump(void const* data, unsigned length);
    char const* getAsCString() const override { return iv_szLine; }

  private:
    char iv_szLine[97];  // 96 characters and the terminator; longest line 93
};

// A pointer value as the standard output stream writes it ("0x" and
// hexadecimal digits).
class CosClStrepAddress {
  public:
    explicit CosClStrepAddress(void const* pointer);
    virtual ~CosClStrepAddress() = default;
    virtual char const* getAsCString() const { return iv_szText; }

  private:
    char iv_szText[32];
};

// Dump functions: write `count` elements (count x element size bytes, in
// memory order) as lines with byte offsets 0, 16, 32, ... (hexadecimal) or
// 0, 8, 16, ... (binary), each line followed by an end of line; the last
// line holds the rest. A count of 0 writes nothing. The forms without a
// stream write to standard output. cosDump is cosDumpHex.
void cosDumpHex(std::ostream& out, unsigned char const* data, unsigned count);
void cosDumpHex(std::ostream& out, unsigned short const* data, unsigned count);
void cosDumpHex(std::ostream& out, unsigned int const* data, unsigned count);
void cosDumpHex(std::ostream& out, unsigned long long const* data, unsigned count);
void cosDumpHex(unsigned char const* data, unsigned count);
void cosDumpHex(unsigned short const* data, unsigned count);
void cosDumpHex(unsigned int const* data, unsigned count);
void cosDumpHex(unsigned long long const* data, unsigned count);

void cosDumpBin(std::ostream& out, unsigned char const* data, unsigned count);
void cosDumpBin(std::ostream& out, unsigned short const* data, unsigned count);
void cosDumpBin(std::ostream& out, unsigned int const* data, unsigned count);
void cosDumpBin(std::ostream& out, unsigned long long const* data, unsigned count);
void cosDumpBin(unsigned char const* data, unsigned count);
void cosDumpBin(unsigned short const* data, unsigned count);
void cosDumpBin(unsigned int const* data, unsigned count);
void cosDumpBin(unsigned long long const* data, unsigned count);

void cosDump(std::ostream& out, unsigned char const* data, unsigned count);
void cosDump(std::ostream& out, unsigned short const* data, unsigned count);
void cosDump(std::ostream& out, unsigned int const* data, unsigned count);
void cosDump(std::ostream& out, unsigned long long const* data, unsigned count);
void cosDump(unsigned char const* data, unsigned count);
void cosDump(unsigned short const* data, unsigned count);
void cosDump(unsigned int const* data, unsigned count);
void cosDump(unsigned long long const* data, unsigned count);

// Debug dumps: kept for callers; they do no work.
enum CosEnDump { CosEnDump_Hex, CosEnDump_Bin };
void cosDebugDump(char const* title, unsigned char const* data, unsigned count);
void cosDebugDump(char const* title, unsigned short const* data, unsigned count);
void cosDebugDump(char const* title, unsigned int const* data, unsigned count);
void cosDebugDump(char const* title, unsigned long long const* data, unsigned count);
void cosDebugDumpHex(char const* title, unsigned char const* data, unsigned count);
void cosDebugDumpHex(char const* title, unsigned short const* data, unsigned count);
void cosDebugDumpHex(char const* title, unsigned int const* data, unsigned count);
void cosDebugDumpHex(char const* title, unsigned long long const* data, unsigned count);
void cosDebugDumpBin(char const* title, unsigned char const* data, unsigned count);
void cosDebugDumpBin(char const* title, unsigned short const* data, unsigned count);
void cosDebugDumpBin(char const* title, unsigned int const* data, unsigned count);
void cosDebugDumpBin(char const* title, unsigned long long const* data, unsigned count);
void cosDebugImpDump(CosEnDump kind, char const* title, unsigned char const* data,
                     unsigned count);

#endif  // COS_DUMP_HPP
