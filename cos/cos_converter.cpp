// cos_converter.cpp: the converter classes: choosing the conversion method
// once per converter, the maximum output sizes, and conversion between two
// code pages through UCS-2.
//
// Method choice towards UCS-2 (first match): 65500 swap; host-order UCS-2
// copy; 1208 UTF-8; then, after the aliases (5026->930, 5035->939,
// 938->948, 936->1386, 5488/18030->1392, 954->33722), a single-byte table,
// a double-byte table, ICU, iconv. From UCS-2: 819 truncation; 500 and 850
// reverse tables; host-order UCS-2 copy; 1208 UTF-8; 5488/18030->1392;
// 65500 swap, 65501 copy; ICU; iconv.
#include <algorithm>
#include <cstring>

#include <iconv.h>
#include <unicode/ucnv.h>

#include "cos_converter.hpp"
#include "cos_converter_methods.hpp"
#include "cos_converter_tables.hpp"
#include "cos_memmgr.hpp"

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);
const char kUcs2IconvName[] = "UCS-2";  // host byte order in iconv
const char kBigEndianMark[2] = {'\xFE', '\xFF'};
const char kLittleEndianMark[2] = {'\xFF', '\xFE'};

bool isHostUCS2(uint32_t ccsid) {
    return ccsid == 1200 || ccsid == 13488 || ccsid == 17584 || ccsid == 61955;
}

bool isGB18030(uint32_t ccsid) { return ccsid == 1392 || ccsid == 5488 || ccsid == 18030; }

uint32_t aliasTowardsUnicode(uint32_t ccsid) {
    switch (ccsid) {
    case 5026: return 930;
    case 5035: return 939;
    case 938: return 948;
    case 936: return 1386;
    case 5488:
    case 18030: return 1392;
    case 954: return 33722;
    default: return ccsid;
    }
}

// 32-bit result of a size computation, saturated instead of wrapped.
unsigned int saturate(uint64_t value) {
    return value > UINT32_MAX ? UINT32_MAX : static_cast<unsigned int>(value);
}

// Bytes per UCS-2 unit an iconv target may need (shift sequences
// included), and the bytes of a final shift back.
const uint64_t kIconvBytesPerUnit = 8;
const uint64_t kIconvFinalShift = 32;

}  // namespace

// ---------------------------------------------------------------------------
// Base

CosClConverterABase::CosClConverterABase(CosClCCSID const& source, CosClCCSID const& target)
    : m_clSourceCCSID(source), m_clTargetCCSID(target), m_pvIconv(kNoIconv),
      m_pvTable(nullptr), m_pfuMethod(cosConvertError) {}

CosClConverterABase::~CosClConverterABase() { deinit(); }

void CosClConverterABase::deinit() {
    if (m_pvIconv != kNoIconv) {
        iconv_close(static_cast<iconv_t>(m_pvIconv));
        m_pvIconv = kNoIconv;
    }
    // Qualified: a derived converter's answer covers its other part too.
    if (CosClConverterABase::requiresExternalICUData()) cosDeleteICUConverter(m_pvTable);
    m_pvTable = nullptr;
    m_pfuMethod = cosConvertError;
}

void CosClConverterABase::setConverterError() { m_pfuMethod = cosConvertError; }

bool CosClConverterABase::isSupported() const { return m_pfuMethod != cosConvertError; }

bool CosClConverterABase::requiresExternalICONVRoutine() const {
    return m_pfuMethod == cosConvertByUsingIconv || m_pfuMethod == cosConvertError;
}

bool CosClConverterABase::requiresExternalICUData() const {
    return m_pfuMethod == cosConvertByAlgorithmIcuToUnicode ||
           m_pfuMethod == cosConvertByAlgorithmIcuFromUnicode;
}

unsigned int CosClConverterABase::convertBytes(char* target, unsigned int targetSize,
                                               char const* source, unsigned int sourceSize) const {
    return convertBytes(target, targetSize, &source, sourceSize);
}

unsigned int CosClConverterABase::convertBytes(char* target, unsigned int targetSize,
                                               char const** source, unsigned int sourceSize) const {
    m_stError.clear();
    _CosStConverter request = {*this, target, targetSize, source, sourceSize};
    return m_pfuMethod(request);
}

char const* CosClConverterABase::getUCS2BigEndianId() { return kBigEndianMark; }
char const* CosClConverterABase::getUCS2LittleEndianId() { return kLittleEndianMark; }
char const* CosClConverterABase::getUCS2HostEndianId() { return kLittleEndianMark; }

bool CosClConverterABase::isUCS2BigEndianId(char const* p) {
    return std::memcmp(p, kBigEndianMark, 2) == 0;
}

bool CosClConverterABase::isUCS2LittleEndianId(char const* p) {
    return std::memcmp(p, kLittleEndianMark, 2) == 0;
}

void CosClConverterABase::initByICUOrIconv(uint32_t icuCCSID, bool toUnicode) {
    void* icu = cosGetICUConverter(icuCCSID, m_stError);
    if (icu != nullptr) {
        m_pvTable = icu;
        m_pfuMethod = toUnicode ? cosConvertByAlgorithmIcuToUnicode
                                : cosConvertByAlgorithmIcuFromUnicode;
        return;
    }
    // iconv knows code pages by the table's names only. The unknown row's
    // "???" must not reach it: iconv reads a name without letters or
    // digits as the locale's code set.
    CosClCCSID const& named = toUnicode ? m_clSourceCCSID : m_clTargetCCSID;
    if (!named.isValid()) return;
    char const* to = toUnicode ? kUcs2IconvName : named.getName();
    char const* from = toUnicode ? named.getName() : kUcs2IconvName;
    iconv_t cd = iconv_open(to, from);
    if (cd == kNoIconv) return;  // unsupported; the ICU error stays
    m_pvIconv = cd;
    m_pfuMethod = cosConvertByUsingIconv;
    m_stError.clear();  // the ICU open failure does not concern this method
}

void CosClConverterABase::initCodePage2Unicode() {
    uint32_t ccsid = m_clSourceCCSID.getCCSID();
    if (ccsid == 65500) {
        m_pfuMethod = cosConvertByEndianSwap;
        return;
    }
    if (isHostUCS2(ccsid) || ccsid == 65501) {
        m_pfuMethod = cosConvertByCopying;
        return;
    }
    if (ccsid == 1208) {
        m_pfuMethod = cosConvertByAlgorithmUTF8toUCS2;
        return;
    }
    ccsid = aliasTowardsUnicode(ccsid);
    if (const uint16_t* sbcs = cosGetSBCStoUCS2Table(ccsid)) {
        m_pvTable = const_cast<uint16_t*>(sbcs);
        m_pfuMethod = m_clSourceCCSID.isEBCDIC() ? cosConvertByTablesSBCS_EBCDICtoUCS2
                                                 : cosConvertByTablesSBCS_ASCIItoUCS2;
        return;
    }
    bool isEBCDIC = false;
    if (const _CosStDBCSConversionTable* dbcs = cosGetDBCStoUCS2Table(ccsid, isEBCDIC)) {
        m_pvTable = const_cast<_CosStDBCSConversionTable*>(dbcs);
        m_pfuMethod = isEBCDIC ? cosConvertByTablesDBCS_EBCDICtoUCS2
                               : cosConvertByTablesDBCS_ASCIItoUCS2;
        return;
    }
    initByICUOrIconv(ccsid, true);
}

void CosClConverterABase::initUnicode2CodePage() {
    uint32_t ccsid = m_clTargetCCSID.getCCSID();
    if (ccsid == 819) {
        m_pfuMethod = cosConvertByAlgorithmUCS2to819;
        return;
    }
    if (const unsigned char* reverse = cosGetUCS2toSBCSTable(ccsid)) {
        m_pvTable = const_cast<unsigned char*>(reverse);
        m_pfuMethod = cosConvertByTablesUCS2toSBCS;
        return;
    }
    if (isHostUCS2(ccsid) || ccsid == 65501) {
        m_pfuMethod = cosConvertByCopying;
        return;
    }
    if (ccsid == 1208) {
        m_pfuMethod = cosConvertByAlgorithmUCS2toUTF8;
        return;
    }
    if (ccsid == 65500) {
        m_pfuMethod = cosConvertByEndianSwap;
        return;
    }
    initByICUOrIconv(isGB18030(ccsid) ? 1392 : ccsid, false);
}

// ---------------------------------------------------------------------------
// Code page -> UCS-2

CosClCodePage2UnicodeConverter::CosClCodePage2UnicodeConverter(CosClCCSID const& source)
    : CosClConverterABase(source, CosClCCSID(CosClCCSID::CCSID_UCS2)) {
    initCodePage2Unicode();
}

CosClCodePage2UnicodeConverter::~CosClCodePage2UnicodeConverter() {}

void CosClCodePage2UnicodeConverter::initNewCodePage2Unicode(CosClCCSID const& source) {
    deinit();
    m_stError.clear();
    m_clSourceCCSID = source;
    initCodePage2Unicode();
}

// A source character gives one UCS-2 unit, or a surrogate pair where the
// source can hold characters beyond U+FFFF (UTF-8, GB 18030, ICU, iconv).
unsigned int CosClCodePage2UnicodeConverter::getMaximumSizeForLength(unsigned int length) const {
    bool pairs = m_pfuMethod == cosConvertByAlgorithmUTF8toUCS2 ||
                 CosClConverterABase::requiresExternalICUData() ||
                 CosClConverterABase::requiresExternalICONVRoutine() ||
                 isGB18030(m_clSourceCCSID.getCCSID());
    return saturate(uint64_t(length) * (pairs ? 4 : 2));
}

// Every source byte gives at most one UCS-2 unit (a four-byte sequence at
// most two); iconv's code sets are not known, so they get twice that.
unsigned int CosClCodePage2UnicodeConverter::getMaximumSizeForSize(unsigned int size) const {
    if (m_pfuMethod == cosConvertByCopying || m_pfuMethod == cosConvertByEndianSwap) return size;
    uint64_t perByte = m_pfuMethod == cosConvertByUsingIconv ? 4 : 2;
    return saturate(uint64_t(size) * perByte);
}

// ---------------------------------------------------------------------------
// UCS-2 -> code page

CosClUnicode2CodePageConverter::CosClUnicode2CodePageConverter(CosClCCSID const& target)
    : CosClConverterABase(CosClCCSID(CosClCCSID::CCSID_UCS2), target) {
    initUnicode2CodePage();
}

CosClUnicode2CodePageConverter::~CosClUnicode2CodePageConverter() {}

// `length` characters are at most 2 * length UCS-2 units.
unsigned int CosClUnicode2CodePageConverter::getMaximumSizeForLength(unsigned int length) const {
    uint64_t n = length;
    if (m_pfuMethod == cosConvertByAlgorithmUCS2toUTF8) return saturate(5 * n);
    if (m_pfuMethod == cosConvertByCopying || m_pfuMethod == cosConvertByEndianSwap)
        return saturate(4 * n);
    if (requiresExternalICUData()) {
        uint64_t perUnit = ucnv_getMaxCharSize(static_cast<UConverter*>(m_pvTable));
        return saturate((2 * n + 10) * perUnit);
    }
    if (m_pfuMethod == cosConvertByUsingIconv)
        return saturate(2 * n * kIconvBytesPerUnit + kIconvFinalShift);
    return saturate(2 * n);
}

// `size` bytes are size / 2 UCS-2 units; ICU states the most bytes it
// writes for one unit (four for GB 18030, three for EUC and for shifted
// EBCDIC with its shift out), plus room for a final shift in.
unsigned int CosClUnicode2CodePageConverter::getMaximumSizeForSize(unsigned int size) const {
    uint64_t units = size / 2;
    if (m_pfuMethod == cosConvertByAlgorithmUCS2toUTF8) return saturate(3 * units);
    if (m_pfuMethod == cosConvertByCopying || m_pfuMethod == cosConvertByEndianSwap)
        return saturate(2 * units);
    if (requiresExternalICUData()) {
        uint64_t perUnit = ucnv_getMaxCharSize(static_cast<UConverter*>(m_pvTable));
        return saturate((units + 10) * perUnit);
    }
    if (m_pfuMethod == cosConvertByUsingIconv)
        return saturate(units * kIconvBytesPerUnit + kIconvFinalShift);
    return saturate(units);
}

// ---------------------------------------------------------------------------
// Code page -> code page

CosClCodePage2CodePageConverter::CosClCodePage2CodePageConverter(CosClCCSID const& source,
                                                                 CosClCCSID const& target)
    : CosClCodePage2UnicodeConverter(source), m_clFromUnicode(target),
      m_pcTempBuffer(nullptr), m_uiTempBufferSize(0) {}

CosClCodePage2CodePageConverter::~CosClCodePage2CodePageConverter() {
    CosClMemoryManager::free(m_pcTempBuffer);
    m_clFromUnicode.deinit();
    deinit();
}

CosClCCSID CosClCodePage2CodePageConverter::getTargetCCSID() const {
    return m_clFromUnicode.getTargetCCSID();
}

bool CosClCodePage2CodePageConverter::isSupported() const {
    return CosClCodePage2UnicodeConverter::isSupported() && m_clFromUnicode.isSupported();
}

bool CosClCodePage2CodePageConverter::requiresExternalICONVRoutine() const {
    return CosClCodePage2UnicodeConverter::requiresExternalICONVRoutine() ||
           m_clFromUnicode.requiresExternalICONVRoutine();
}

bool CosClCodePage2CodePageConverter::requiresExternalICUData() const {
    return CosClCodePage2UnicodeConverter::requiresExternalICUData() ||
           m_clFromUnicode.requiresExternalICUData();
}

unsigned int CosClCodePage2CodePageConverter::getMaximumSizeForLength(unsigned int length) const {
    return m_clFromUnicode.getMaximumSizeForLength(length);
}

// Both bounds hold: the UCS-2 bound of the intermediate text, and the
// per-character bound (a source byte is at most one character).
unsigned int CosClCodePage2CodePageConverter::getMaximumSizeForSize(unsigned int size) const {
    if (m_clSourceCCSID == m_clFromUnicode.getTargetCCSID()) return size;
    unsigned int a = CosClCodePage2UnicodeConverter::getMaximumSizeForSize(size);
    unsigned int b = m_clFromUnicode.getMaximumSizeForSize(a);
    return std::min(b, m_clFromUnicode.getMaximumSizeForLength(size));
}

unsigned int CosClCodePage2CodePageConverter::convertBytes(char* target, unsigned int targetSize,
                                                           char const* source,
                                                           unsigned int sourceSize) const {
    return convertBytes(target, targetSize, &source, sourceSize);
}
