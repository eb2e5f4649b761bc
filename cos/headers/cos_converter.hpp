// cos_converter.hpp: code-page converters.
//
// Every text is held internally as UCS-2 (UTF-16 units in host byte order,
// CCSID 13488). The converters carry text between any CCSID and UCS-2, and
// between two CCSIDs through UCS-2:
//   CosClCodePage2UnicodeConverter   source CCSID -> 13488
//   CosClUnicode2CodePageConverter   13488 -> target CCSID
//   CosClCodePage2CodePageConverter  source -> target through UCS-2
//   CosClCodePage2UTF8Converter      source -> 1208
// A converter chooses one conversion method when it is built (a byte-order
// swap, a copy, the UTF-8 algorithm, a table of the library's own, an ICU
// converter, or iconv as the last resort) and converts any number of
// buffers with it.
//
// Conventions:
//   - convertBytes returns the number of bytes written and never throws for
//     bad data: the reason is the converter's last error (getError(); 0/0
//     after a successful conversion). Bytes written before a failure stay
//     in the target and are counted. An ICU status that the library's ICU
//     table does not know throws CosClException (cos_exception.hpp).
//   - A target smaller than needed stops the conversion with
//     CPCONVERTER_TOO_BIG; nothing is ever written past targetSize. Size
//     the target by getMaximumSizeForSize(sourceSize) to convert in one go.
//   - A multi-byte character cut off at the end of the source is
//     CPCONVERTER_INCOMPLETE and the source pointer stays at its first
//     byte, so the caller can prepend those bytes to the next buffer. No
//     other state (shift state, pending bytes) is carried between calls.
//   - Converters are not copyable; they own their ICU converter, iconv
//     descriptor and temporary buffer.
#ifndef COS_CONVERTER_HPP
#define COS_CONVERTER_HPP

#include <cstdint>

#include "cos_ccsid.hpp"
#include "cos_exception.hpp"

class CosClConverterABase {
public:
    // One conversion request, built for each call of a conversion method.
    struct _CosStConverter {
        CosClConverterABase const& converter;  // error, table and handles
        char* pcTarget;                        // output bytes
        unsigned int uiTargetSize;             // bytes available at pcTarget
        char const** ppcSource;                // in/out: advanced over input used
        unsigned int uiSourceSize;             // bytes at *ppcSource
    };
    // A conversion method: converts the request, returns bytes written and
    // leaves the outcome in the converter's error.
    typedef unsigned int (*CosPfuConvert)(_CosStConverter& request);

    virtual ~CosClConverterABase();
    CosClConverterABase(CosClConverterABase const&) = delete;
    CosClConverterABase& operator=(CosClConverterABase const&) = delete;

    virtual CosClCCSID getTargetCCSID() const { return m_clTargetCCSID; }
    // The method is usable (not cosConvertError).
    virtual bool isSupported() const;
    // The method is iconv or none at all.
    virtual bool requiresExternalICONVRoutine() const;
    // The method is one of the two ICU methods.
    virtual bool requiresExternalICUData() const;
    // Output bytes needed for at most `length` characters.
    virtual unsigned int getMaximumSizeForLength(unsigned int length) const = 0;
    // Output bytes needed for `size` input bytes.
    virtual unsigned int getMaximumSizeForSize(unsigned int size) const = 0;
    // Converts `sourceSize` bytes at `source` into `target`; the caller
    // learns nothing about what was consumed. Returns bytes written.
    virtual unsigned int convertBytes(char* target, unsigned int targetSize,
                                      char const* source, unsigned int sourceSize) const;
    // The same; *source is advanced over what was consumed.
    virtual unsigned int convertBytes(char* target, unsigned int targetSize,
                                      char const** source, unsigned int sourceSize) const;

    // The outcome of the last conversion (or, right after construction, an
    // ICU open failure); 0/0 for success.
    _CosStError const& getError() const { return m_stError; }
    CosClCCSID const& getSourceCCSID() const { return m_clSourceCCSID; }

    // Closes the iconv descriptor and the ICU converter, forgets the table
    // and makes the converter unsupported.
    void deinit();
    // Makes the converter unsupported.
    void setConverterError();

    // For the conversion methods.
    void setError(CosEnErrorId id, CosEnErrorClass errClass) const { m_stError.set(id, errClass); }
    _CosStError& getMutableError() const { return m_stError; }
    void* getTable() const { return m_pvTable; }
    void* getIconvDescriptor() const { return m_pvIconv; }
    CosPfuConvert getMethod() const { return m_pfuMethod; }

    // Byte-order marks: FE FF, FF FE; the host's is FF FE.
    static char const* getUCS2BigEndianId();
    static char const* getUCS2LittleEndianId();
    static char const* getUCS2HostEndianId();
    // REQUIRES: two bytes readable at p.
    static bool isUCS2BigEndianId(char const* p);
    static bool isUCS2LittleEndianId(char const* p);

    // Decodes the one UTF-8 sequence at `p`; its length is 1 plus the
    // trailing-byte count of its first byte. An invalid sequence (stray
    // continuation byte, overlong form, surrogate, value past U+10FFFF, a
    // sequence cut short by a byte that is not a continuation byte) gives
    // U+FFFD; no byte after a non-continuation byte is read, so a sequence
    // cut short by the terminating zero is safe.
    static uint32_t convertUtf8CharToUtf32(char const* p);
    // Number of trailing bytes announced by UTF-8 first byte `b` (0-5).
    static unsigned int getUtf8TrailingBytes(unsigned char b);

protected:
    CosClConverterABase(CosClCCSID const& source, CosClCCSID const& target);

    // Chooses the method for source -> 13488 / 13488 -> target.
    void initCodePage2Unicode();
    void initUnicode2CodePage();
    // The next step of a choice: ICU, then iconv.
    void initByICUOrIconv(uint32_t icuCCSID, bool toUnicode);

    mutable _CosStError m_stError;
    CosClCCSID m_clSourceCCSID;
    CosClCCSID m_clTargetCCSID;
    void* m_pvIconv;            // iconv_t, (iconv_t)-1 when none is open
    void* m_pvTable;            // table of the method, or the UConverter*
    CosPfuConvert m_pfuMethod;  // cosConvertError when unusable
};

// Source CCSID -> UCS-2 (13488).
class CosClCodePage2UnicodeConverter : public CosClConverterABase {
public:
    explicit CosClCodePage2UnicodeConverter(CosClCCSID const& source);
    ~CosClCodePage2UnicodeConverter() override;

    // Re-targets the converter to a new source CCSID (deinit, then the
    // method is chosen again; unsupported when none is found).
    void initNewCodePage2Unicode(CosClCCSID const& source);

    unsigned int getMaximumSizeForLength(unsigned int length) const override;
    unsigned int getMaximumSizeForSize(unsigned int size) const override;
};

// UCS-2 (13488) -> target CCSID.
class CosClUnicode2CodePageConverter : public CosClConverterABase {
public:
    explicit CosClUnicode2CodePageConverter(CosClCCSID const& target);
    ~CosClUnicode2CodePageConverter() override;

    unsigned int getMaximumSizeForLength(unsigned int length) const override;
    unsigned int getMaximumSizeForSize(unsigned int size) const override;
};

// Source CCSID -> target CCSID through UCS-2. Equal CCSIDs copy.
class CosClCodePage2CodePageConverter : public CosClCodePage2UnicodeConverter {
public:
    // Throws CosClExceptionFatal only when memory runs out.
    CosClCodePage2CodePageConverter(CosClCCSID const& source, CosClCCSID const& target);
    ~CosClCodePage2CodePageConverter() override;

    CosClCCSID getTargetCCSID() const override;
    bool isSupported() const override;
    bool requiresExternalICONVRoutine() const override;
    bool requiresExternalICUData() const override;
    unsigned int getMaximumSizeForLength(unsigned int length) const override;
    unsigned int getMaximumSizeForSize(unsigned int size) const override;
    unsigned int convertBytes(char* target, unsigned int targetSize,
                              char const* source, unsigned int sourceSize) const override;
    // May throw CosClExceptionFatal when the temporary buffer cannot grow.
    unsigned int convertBytes(char* target, unsigned int targetSize,
                              char const** source, unsigned int sourceSize) const override;

private:
    CosClUnicode2CodePageConverter m_clFromUnicode;  // UCS-2 -> target
    mutable char* m_pcTempBuffer;                    // owned (memory manager)
    mutable unsigned int m_uiTempBufferSize;         // bytes at m_pcTempBuffer
};

// Source CCSID -> UTF-8 (1208).
class CosClCodePage2UTF8Converter : public CosClCodePage2CodePageConverter {
public:
    explicit CosClCodePage2UTF8Converter(CosClCCSID const& source);
};

#endif  // COS_CONVERTER_HPP
