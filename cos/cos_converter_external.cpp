// cos_converter_external.cpp: conversion through ICU and iconv, the
// methods of every code page that the library has no table or algorithm
// for.
//
// Each call converts its buffer on its own: the ICU converter is reset
// before and after the call, the iconv descriptor is reset before and its
// shift state flushed after a complete input. When the target is too small
// both stop after the last character written whole, with the source at
// the first character not written, as the library's own methods do.
#include <cerrno>
#include <cstring>

#include <iconv.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include "cos_converter_methods.hpp"

namespace {

// ICU's names (from its alias table) for the code pages that do not open
// by number as wanted: the variant converters of 942 and 943 with the
// substitution and private-use-area options, and GB18030. Every other
// CCSID, 65502 among them, opens with ucnv_openCCSID.
struct IcuName {
    uint32_t ccsid;
    char const* name;
};
const IcuName kIcuNames[] = {
    {932, "sjis78"},
    {942, "sjis78"},
    {943, "cp943c"},
    {1392, "gb18030"},
};

// ICU's platform value 0: the platform whose CCSIDs this library uses.
constexpr UConverterPlatform kCcsidPlatform = static_cast<UConverterPlatform>(0);

void mapStatus(CosStConverterRequest& r, UErrorCode status) {
    if (U_FAILURE(status))
        CosClIcuInterface::mapIcuError(r.converter.getMutableError(), status);
}

}  // namespace

void* cosGetICUConverter(uint32_t ccsid, _CosStError& error) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = nullptr;
    char const* name = nullptr;
    for (IcuName const& entry : kIcuNames)
        if (entry.ccsid == ccsid) name = entry.name;
    if (name != nullptr)
        converter = ucnv_open(name, &status);
    else
        converter = ucnv_openCCSID(static_cast<int32_t>(ccsid), kCcsidPlatform, &status);
    if (U_FAILURE(status)) {
        if (converter != nullptr) ucnv_close(converter);
        CosClIcuInterface::mapIcuError(error, status);
        return nullptr;
    }
    ucnv_setFallback(converter, true);
    return converter;
}

void cosDeleteICUConverter(void* converter) {
    if (converter != nullptr) ucnv_close(static_cast<UConverter*>(converter));
}

// Largest prefix length in [0, total) for which `fits` holds, given that
// it holds for 0 and not for `total` and only gets false as the prefix
// grows. Used when ICU stopped on a full target: ICU writes part of a
// character, or a shifted text without its shift back, and holds the rest,
// so the conversion is run again on the longest source prefix whose
// whole output fits. This costs a few conversions, only on that path.
template <typename Fits>
static unsigned int longestFittingPrefix(unsigned int total, Fits fits) {
    unsigned int low = 0, high = total - 1;
    while (low < high) {
        unsigned int mid = low + (high - low + 1) / 2;
        if (fits(mid))
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

// Towards UCS-2, without flushing: a character cut off at the end of the
// source stays pending in ICU and is given back as incomplete input.
static UErrorCode icuToUnicode(CosStConverterRequest& r, char const* start, unsigned int length,
                               UChar** target) {
    UConverter* converter = static_cast<UConverter*>(r.converter.getTable());
    UChar* first = reinterpret_cast<UChar*>(r.pcTarget);
    ucnv_resetToUnicode(converter);
    UErrorCode status = U_ZERO_ERROR;
    *target = first;
    *r.ppcSource = start;
    ucnv_toUnicode(converter, target, first + r.uiTargetSize / 2, r.ppcSource, start + length,
                   nullptr, false, &status);
    if (U_SUCCESS(status)) {
        UErrorCode pendingStatus = U_ZERO_ERROR;
        int32_t pending = ucnv_toUCountPending(converter, &pendingStatus);
        if (U_SUCCESS(pendingStatus) && pending > 0 && pending <= *r.ppcSource - start) {
            *r.ppcSource -= pending;
            status = U_TRUNCATED_CHAR_FOUND;
        }
    }
    ucnv_resetToUnicode(converter);
    return status;
}

unsigned int cosConvertByAlgorithmIcuToUnicode(CosStConverterRequest& r) {
    char const* start = *r.ppcSource;
    UChar* target;
    UErrorCode status = icuToUnicode(r, start, r.uiSourceSize, &target);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        unsigned int length = longestFittingPrefix(r.uiSourceSize, [&](unsigned int n) {
            return icuToUnicode(r, start, n, &target) != U_BUFFER_OVERFLOW_ERROR;
        });
        icuToUnicode(r, start, length, &target);
    }
    mapStatus(r, status);
    return static_cast<unsigned int>(reinterpret_cast<char*>(target) - r.pcTarget);
}

// From UCS-2, flushing, so that a shifted code page ends shifted in.
static UErrorCode icuFromUnicode(CosStConverterRequest& r, UChar const* start, unsigned int units,
                                 UChar const** source, char** target) {
    UConverter* converter = static_cast<UConverter*>(r.converter.getTable());
    ucnv_resetFromUnicode(converter);
    UErrorCode status = U_ZERO_ERROR;
    *source = start;
    *target = r.pcTarget;
    ucnv_fromUnicode(converter, target, r.pcTarget + r.uiTargetSize, source, start + units,
                     nullptr, true, &status);
    ucnv_resetFromUnicode(converter);
    return status;
}

unsigned int cosConvertByAlgorithmIcuFromUnicode(CosStConverterRequest& r) {
    UChar const* start = reinterpret_cast<UChar const*>(*r.ppcSource);
    unsigned int total = r.uiSourceSize / 2;
    UChar const* source;
    char* target;
    UErrorCode status = icuFromUnicode(r, start, total, &source, &target);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        // A prefix never ends between the two halves of a surrogate pair.
        auto whole = [start](unsigned int n) {
            return n > 0 && U16_IS_LEAD(start[n - 1]) && U16_IS_TRAIL(start[n]) ? n - 1 : n;
        };
        unsigned int units = whole(longestFittingPrefix(total, [&](unsigned int n) {
            return icuFromUnicode(r, start, whole(n), &source, &target) != U_BUFFER_OVERFLOW_ERROR;
        }));
        icuFromUnicode(r, start, units, &source, &target);
    }
    *r.ppcSource = reinterpret_cast<char const*>(source);
    mapStatus(r, status);
    if (U_SUCCESS(status) && r.uiSourceSize % 2 != 0)
        r.converter.setError(CosEnErrorId::CPCONVERTER_INCOMPLETE, CosEnErrorClass::USER_DATA_ERROR);
    return static_cast<unsigned int>(target - r.pcTarget);
}

unsigned int cosConvertByUsingIconv(CosStConverterRequest& r) {
    iconv_t cd = static_cast<iconv_t>(r.converter.getIconvDescriptor());
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(*r.ppcSource);
    size_t sourceLeft = r.uiSourceSize;
    // iconv aborts on a null output buffer, even one of size 0: an empty
    // target is given as an empty buffer of its own.
    char empty = 0;
    char* const base = r.pcTarget != nullptr ? r.pcTarget : &empty;
    char* target = base;
    size_t targetLeft = r.pcTarget != nullptr ? r.uiTargetSize : 0;
    errno = 0;
    size_t rc = iconv(cd, &source, &sourceLeft, &target, &targetLeft);
    if (rc != static_cast<size_t>(-1) && sourceLeft == 0)
        rc = iconv(cd, nullptr, nullptr, &target, &targetLeft);  // shift back
    int failure = rc == static_cast<size_t>(-1) ? errno : 0;
    *r.ppcSource = source;
    switch (failure) {
    case 0:
        break;
    case E2BIG:
        r.converter.setError(CosEnErrorId::CPCONVERTER_TOO_BIG, CosEnErrorClass::DATA_OUT_OF_BOUNDS);
        break;
    case EINVAL:
        r.converter.setError(CosEnErrorId::CPCONVERTER_INCOMPLETE, CosEnErrorClass::USER_DATA_ERROR);
        break;
    case EBADF:
        r.converter.setError(CosEnErrorId::CPCONVERTER_BAD_DESCR, CosEnErrorClass::INVALID_DATA);
        break;
    default:  // EILSEQ, and any other failure rather than a false success
        r.converter.setError(CosEnErrorId::CPCONVERTER_INVALID_SEQ, CosEnErrorClass::USER_DATA_ERROR);
        break;
    }
    return static_cast<unsigned int>(target - base);
}
