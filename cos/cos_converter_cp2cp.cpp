// cos_converter_cp2cp.cpp: conversion between two code pages through
// UCS-2 (CosClCodePage2CodePageConverter::convertBytes).
//
// Equal CCSIDs copy. A host-order UCS-2 source goes straight to the
// from-UCS-2 part, a host-order UCS-2 target straight from the to-UCS-2
// part. Everything else is converted whole into the temporary buffer
// (grown to the to-UCS-2 bound plus 32769 bytes to spare, kept across
// calls) and from there into the target.
#include <cstring>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"

namespace {

const unsigned int kTempBufferSpare = 32769;

// Converts source[0, length) to UCS-2 with `converter` into `buffer` and
// returns the bytes written; *stop receives where the conversion stopped.
unsigned int toUnicodePrefix(CosClCodePage2UnicodeConverter const& converter, char* buffer,
                             unsigned int bufferSize, char const* source, unsigned int length,
                             char const** stop) {
    char const* p = source;
    unsigned int written =
        converter.CosClCodePage2UnicodeConverter::convertBytes(buffer, bufferSize, &p, length);
    *stop = p;
    return written;
}

}  // namespace

// Source position that matches `ucs2Used` bytes of UCS-2 consumed by the
// second stage: where the conversion of the longest source prefix whose
// own UCS-2 is not longer stops. Found by halving; runs only when the
// target was too small. ICU swallows a cut-off character at the end of a
// prefix, so for ICU the prefix shrinks until it converts cleanly.
static char const* sourcePositionFor(CosClCodePage2UnicodeConverter const& converter, char* buffer,
                                     unsigned int bufferSize, char const* source,
                                     unsigned int sourceSize, unsigned int ucs2Used) {
    unsigned int low = 0, high = sourceSize;  // prefix `low` fits, `high`+1 does not
    char const* stop = source;
    while (low < high) {
        unsigned int mid = low + (high - low + 1) / 2;
        if (toUnicodePrefix(converter, buffer, bufferSize, source, mid, &stop) <= ucs2Used)
            low = mid;
        else
            high = mid - 1;
    }
    toUnicodePrefix(converter, buffer, bufferSize, source, low, &stop);
    if (converter.CosClConverterABase::requiresExternalICUData()) {
        while (low > 0 && converter.getError().isError())
            toUnicodePrefix(converter, buffer, bufferSize, source, --low, &stop);
    }
    return stop;
}

unsigned int CosClCodePage2CodePageConverter::convertBytes(char* target, unsigned int targetSize,
                                                           char const** source,
                                                           unsigned int sourceSize) const {
    m_stError.clear();
    if (m_clSourceCCSID == m_clFromUnicode.getTargetCCSID()) {
        unsigned int k = sourceSize < targetSize ? sourceSize : targetSize;
        if (k != 0) std::memcpy(target, *source, k);  // either may be null when empty
        *source += k;
        if (k < sourceSize)
            setError(CosEnErrorId::CPCONVERTER_TOO_BIG, CosEnErrorClass::DATA_OUT_OF_BOUNDS);
        return k;
    }
    if (m_clSourceCCSID.isUCS2HostEndian()) {
        unsigned int written = m_clFromUnicode.convertBytes(target, targetSize, source, sourceSize);
        m_stError = m_clFromUnicode.getError();
        return written;
    }
    if (m_clFromUnicode.getTargetCCSID().isUCS2HostEndian())
        return CosClCodePage2UnicodeConverter::convertBytes(target, targetSize, source, sourceSize);

    unsigned int need = CosClCodePage2UnicodeConverter::getMaximumSizeForSize(sourceSize);
    if (m_uiTempBufferSize < uint64_t(need) + 1) {
        if (uint64_t(need) + kTempBufferSpare > UINT32_MAX)
            CosClMemoryManager::outOfMemory(COS_SOURCE_POSITION, __LINE__, UINT32_MAX);
        CosClMemoryManager::free(m_pcTempBuffer);
        m_pcTempBuffer = nullptr;
        m_uiTempBufferSize = 0;
        m_pcTempBuffer = static_cast<char*>(CosClMemoryManager::allocate(need + kTempBufferSpare));
        m_uiTempBufferSize = need + kTempBufferSpare;
    }
    char const* start = *source;
    unsigned int ucs2Size = CosClCodePage2UnicodeConverter::convertBytes(
        m_pcTempBuffer, m_uiTempBufferSize, source, sourceSize);
    _CosStError first = m_stError;
    // The first stage stopped at a failure (an invalid sequence, say) after
    // converting what came before it: that text still goes to the target,
    // or the caller, whose source pointer has passed it, would lose it.
    if (first.isError() && ucs2Size == 0) return 0;

    char const* ucs2 = m_pcTempBuffer;
    unsigned int written = m_clFromUnicode.convertBytes(target, targetSize, &ucs2, ucs2Size);
    _CosStError second = m_clFromUnicode.getError();
    if (second.isError()) {
        // The first stage went further than the second: move the caller's
        // source back to the first character that did not reach the target.
        unsigned int used = static_cast<unsigned int>(ucs2 - m_pcTempBuffer);
        if (used < ucs2Size)
            *source = sourcePositionFor(*this, m_pcTempBuffer, m_uiTempBufferSize, start,
                                        static_cast<unsigned int>(*source - start), used);
        m_stError = second;
    } else {
        m_stError = first;  // where the first stage stopped, and why
    }
    return written;
}

CosClCodePage2UTF8Converter::CosClCodePage2UTF8Converter(CosClCCSID const& source)
    : CosClCodePage2CodePageConverter(source, CosClCCSID(CosClCCSID::CCSID_UTF8)) {}
