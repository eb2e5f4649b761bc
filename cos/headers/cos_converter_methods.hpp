// cos_converter_methods.hpp: the conversion methods of the code-page
// converters and the ICU converter handles.
//
// A method converts one request (CosClConverterABase::_CosStConverter):
// it writes at most uiTargetSize bytes, advances *ppcSource over what it
// consumed, returns the bytes written and sets the converter's error
// (which convertBytes has cleared) when it stops short:
//   CPCONVERTER_TOO_BIG     the next character does not fit the target;
//   CPCONVERTER_INCOMPLETE  the source ends inside a character (odd size of
//                           a UCS-2 source, a cut-off multi-byte sequence,
//                           a shifted EBCDIC source ending shifted out);
//   CPCONVERTER_INVALID_SEQ ... as iconv or ICU report them.
// Every value written towards UCS-2 is a UTF-16 unit in host byte order.
#ifndef COS_CONVERTER_METHODS_HPP
#define COS_CONVERTER_METHODS_HPP

#include "cos_converter.hpp"

typedef CosClConverterABase::_CosStConverter CosStConverterRequest;

// Sets CPCONVERTER_UNSUPPORTED and returns 0.
unsigned int cosConvertError(CosStConverterRequest& request);
// UCS-2 to UCS-2 of the same byte order / the other byte order.
unsigned int cosConvertByCopying(CosStConverterRequest& request);
unsigned int cosConvertByEndianSwap(CosStConverterRequest& request);
// Single-byte table to UCS-2 (table: 256 values); the EBCDIC one writes
// U+0085 (EBCDIC new line) as U+000A.
unsigned int cosConvertByTablesSBCS_ASCIItoUCS2(CosStConverterRequest& request);
unsigned int cosConvertByTablesSBCS_EBCDICtoUCS2(CosStConverterRequest& request);
// Double-byte table to UCS-2 (table: _CosStDBCSConversionTable).
unsigned int cosConvertByTablesDBCS_ASCIItoUCS2(CosStConverterRequest& request);
unsigned int cosConvertByTablesDBCS_EBCDICtoUCS2(CosStConverterRequest& request);
// UTF-8 <-> UCS-2.
unsigned int cosConvertByAlgorithmUTF8toUCS2(CosStConverterRequest& request);
unsigned int cosConvertByAlgorithmUCS2toUTF8(CosStConverterRequest& request);
// UCS-2 to 850 or 500 through a reverse table; UCS-2 to 819 by the low byte.
unsigned int cosConvertByTablesUCS2toSBCS(CosStConverterRequest& request);
unsigned int cosConvertByAlgorithmUCS2to819(CosStConverterRequest& request);
// Through the ICU converter held as the converter's table.
unsigned int cosConvertByAlgorithmIcuToUnicode(CosStConverterRequest& request);
unsigned int cosConvertByAlgorithmIcuFromUnicode(CosStConverterRequest& request);
// Through the converter's iconv descriptor.
unsigned int cosConvertByUsingIconv(CosStConverterRequest& request);

// Opens ICU's converter for `ccsid` (932 and 942, 943, 1392 and 65502 by
// their own names, every other number by CCSID) with fallbacks switched
// on. On failure maps the ICU status into `error` and returns null. The
// result (a UConverter*) is closed with cosDeleteICUConverter.
void* cosGetICUConverter(uint32_t ccsid, _CosStError& error);
void cosDeleteICUConverter(void* converter);

#endif  // COS_CONVERTER_METHODS_HPP
