// itl_document_format.hpp: the document formats and the field marker of
// the document layer.
//
// ItlEnDocumentFormat names the format of a caller's document and of a
// document model; values pass through the exported functions: never
// renumber. ITL_MODEL_ITEM_FIELD is the type value of a model item that
// defines a field: one past the ItlEnAttributeType values.
#ifndef ITL_DOCUMENT_FORMAT_HPP
#define ITL_DOCUMENT_FORMAT_HPP

#include <cstdint>

#include "itl_codes.hpp"

// ItlEnDocumentFormat (values 100000 TEXT, 100001 HTML, 100002 XML,
// 100003 STRUCTURED, 100004 INSO) is defined in itl_codes.h, where the
// exported functions' C headers reach it.

// Type of a model item that defines a field (no attribute type set).
constexpr ItlEnAttributeType ITL_MODEL_ITEM_FIELD =
    static_cast<ItlEnAttributeType>(100003);

#endif  // ITL_DOCUMENT_FORMAT_HPP
