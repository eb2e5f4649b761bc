// cos_ccsid.hpp: coded character set identifiers (CCSIDs).
//
// A CCSID is an unsigned number that names a code page. CosClCCSID carries
// the number together with the row of the library's fixed CCSID table that
// describes it: a name (also the code-set name handed to iconv) and
// property flags (ASCII-based, EBCDIC-based, single-byte, double-byte,
// UCS-2). Any number may be held; a number the table does not know has the
// unknown row (name "???", no flags, isValid() false).
//
// CCSIDs with a fixed role: 13488 is the internal UCS-2 (UTF-16 units in
// host byte order) and the pivot of every conversion; 1208 is UTF-8; 65500
// and 65501 are UCS-2 big- and little-endian; 1200, 17584 and 61955 are
// host-order UCS-2 as well; 65501 compares equal to 13488.
//
// A CosClCCSID is a small value, copied freely. Nothing here fails or
// throws.
#ifndef COS_CCSID_HPP
#define COS_CCSID_HPP

#include <cstdint>
#include <type_traits>

// One row of the CCSID table.
struct _CosStCCSIDEntry {
    uint32_t ulCCSID;      // the number; rows sorted strictly ascending
    char const* pszName;   // code-set name, zero-terminated
    uint32_t ulFlags;      // CosClCCSID::FLAG_* bits
};

class CosClCCSID {
    // Enables the comparisons of a CCSID (C, deduced, so that no other
    // operand is converted into one) with a number T: an integer type other
    // than bool, or an enumeration.
    template <class C, class T>
    using IfNumber = std::enable_if_t<
        std::is_same<C, CosClCCSID>::value &&
            ((std::is_integral<T>::value && !std::is_same<T, bool>::value) ||
             std::is_enum<T>::value),
        bool>;

public:
    // The number. Named values for the CCSIDs with a fixed role; any other
    // 32-bit value may be held as well.
    enum CosEnCCSID : uint32_t {
        CCSID_UNKNOWN = 0,
        CCSID_UCS2_1200 = 1200,
        CCSID_UTF8 = 1208,
        CCSID_GB18030 = 1392,
        CCSID_UCS2 = 13488,
        CCSID_UCS2_17584 = 17584,
        CCSID_UCS2_61955 = 61955,
        CCSID_UCS2_BIG_ENDIAN = 65500,
        CCSID_UCS2_LITTLE_ENDIAN = 65501
    };

    // Property flags of a table row.
    enum : uint32_t {
        FLAG_ASCII = 1,    // ASCII-based
        FLAG_EBCDIC = 2,   // EBCDIC-based
        FLAG_DBCS = 4,     // double-byte, pure or mixed
        FLAG_SBCS = 8,     // single-byte
        FLAG_UCS2 = 64     // UCS-2
    };

    // A CCSID of the given number; its row is looked up on first use.
    CosClCCSID(uint32_t number = CCSID_UNKNOWN)
        : m_eCCSID(static_cast<CosEnCCSID>(number)), m_pstEntry(nullptr) {}

    // Parses a decimal number ("037" is 37) or a table name compared
    // without regard to case ("utf-8" is 1208, "UCS-2" is 13488, the first
    // row of that name). A text that is neither gives the decimal value of
    // what follows its leading non-digits (0 when nothing is left) with the
    // unknown row. A null text is taken as "".
    explicit CosClCCSID(char const* text);

    // Looks the row up when it is still undetermined; every property query
    // does this first.
    void determineProperties() const;

    CosEnCCSID getCCSID() const { return m_eCCSID; }
    operator CosEnCCSID() const { return m_eCCSID; }

    // Not 0 and known to the table.
    bool isValid() const;
    // The row's name; "???" for a CCSID the table does not hold.
    char const* getName() const;

    // Comparisons: a CCSID with a CCSID, or with a number of any integer or
    // enumeration type (CosEnCCSID included) on either side. Numbers are
    // compared; on each side 65501 counts as 13488. A number outside the
    // 32-bit unsigned range equals no CCSID. The number overloads match
    // their operand types exactly, so none competes with the built-in
    // comparison reached through the conversion to CosEnCCSID, and none
    // takes part in comparisons of plain numbers with CosEnCCSID values.
    bool operator==(uint32_t other) const;
    bool operator!=(uint32_t other) const { return !(*this == other); }
    friend bool operator==(CosClCCSID const& a, CosClCCSID const& b) {
        return a == static_cast<uint32_t>(b.m_eCCSID);
    }
    friend bool operator!=(CosClCCSID const& a, CosClCCSID const& b) {
        return !(a == b);
    }
    template <class C, class T, IfNumber<C, T> = true>
    friend bool operator==(C const& a, T b) { return a.equalsNumber(b); }
    template <class C, class T, IfNumber<C, T> = true>
    friend bool operator==(T a, C const& b) { return b.equalsNumber(a); }
    template <class C, class T, IfNumber<C, T> = true>
    friend bool operator!=(C const& a, T b) { return !a.equalsNumber(b); }
    template <class C, class T, IfNumber<C, T> = true>
    friend bool operator!=(T a, C const& b) { return !b.equalsNumber(a); }

    // Flag tests of the row (false for an unknown CCSID).
    bool isASCII() const { return hasFlag(FLAG_ASCII); }
    bool isEBCDIC() const { return hasFlag(FLAG_EBCDIC); }
    bool isSBCS() const { return hasFlag(FLAG_SBCS); }
    bool isDBCS() const { return hasFlag(FLAG_DBCS); }
    bool isUCS2() const { return hasFlag(FLAG_UCS2); }

    // Tests of the number only: 65500; one of 65501, 13488, 17584, 1200,
    // 61955 (this platform is little-endian, so both sets are the same).
    bool isUCS2BigEndian() const { return m_eCCSID == CCSID_UCS2_BIG_ENDIAN; }
    bool isUCS2LittleEndian() const { return isUCS2HostEndian(); }
    bool isUCS2HostEndian() const;

    // 65500 when `buffer` begins with FE FF, 65501 when with FF FE, else 0.
    // REQUIRES: two bytes readable at buffer.
    static CosEnCCSID getCCSIDForUCS2EndianId(char const* buffer);

    // The code page of the process's default converter, found once and
    // cached for the life of the process; 1208 when it has no CCSID.
    static CosEnCCSID getConsoleCCSID();
    // The same value as getConsoleCCSID().
    static CosEnCCSID getSystemCCSID();

    // The table, for inspection: rows sorted by number, row 0 unknown.
    static _CosStCCSIDEntry const* getTable(unsigned int* rowCount);

private:
    bool hasFlag(uint32_t flag) const;

    // Any integer or enumeration value compared through its numeric value.
    template <class T>
    bool equalsNumber(T value) const {
        if constexpr (std::is_enum<T>::value) {
            return equalsNumber(static_cast<std::underlying_type_t<T>>(value));
        } else {
            if constexpr (std::is_signed<T>::value)
                if (value < 0) return false;
            if (static_cast<std::make_unsigned_t<T>>(value) > UINT32_MAX) return false;
            return *this == static_cast<uint32_t>(value);
        }
    }

    CosEnCCSID m_eCCSID;
    mutable _CosStCCSIDEntry const* m_pstEntry;  // null until determined
};

// bsearch/qsort comparison of two table rows: difference of the numbers
// (negative, 0 or positive).
int cosCompareCCSIDNameEntries(void const* a, void const* b);

#endif  // COS_CCSID_HPP
